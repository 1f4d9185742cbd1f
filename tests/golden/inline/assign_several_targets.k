// A name that stands for a parameter, a field and a global: each pair gets
// its key, the field's (an object pointer) is the lowest, and the choice is
// reported with warning 128.
class P {
    public int n;
    void set(int n) { n = 1; } // expect warning 324: 已定义但不使用的对象. // expect warning 128: 对象不唯一,有多个可以操作的对象:
};
int n;
int main(String[] args) { return 0; } // expect warning 204: 未使用的参数:args
