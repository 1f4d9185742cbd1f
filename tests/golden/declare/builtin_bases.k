// Built-in classes that programs derive from: exceptions and threads.
class MyError : Exception {
};
class MyIo : IOException {
};
class Worker : Thread {
    void run() { // expect warning 323: 重写了基类型的方法, 但未使用 override 关键字.
    }
};
int main(String[] args) { // expect warning 204: 未使用的参数:args
    try {
        throw new MyError();
    } catch (MyError e) {
    }
    Worker w = new Worker(); // expect warning 200: 未使用的对象:w
    MyIo io = new MyIo(); // expect warning 200: 未使用的对象:io
    return 0;
}
