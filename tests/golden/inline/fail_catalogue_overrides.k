// Overrides of catalogue methods are checked like overrides of source ones.
class FinalWriter : ByteArrayOutputStream { // expect warning 324: 已定义但不使用的对象.
    public void writeInt(int v) { } // expect error: 无法对声明为final的方法重写 // expect warning 204: 未使用的参数:v
};
class IntLock : ReentrantLock { // expect warning 324: 已定义但不使用的对象.
    public int trylock() { return 0; } // expect error: 方法与重写/重载的原型仅有返回值不同
};
class NamedEntry : ZipEntry { // expect warning 324: 已定义但不使用的对象.
    public String getName() { return "z"; } // expect error: 基类型方法要求 NotNilptr.
};
class ThrowingTask : TimerTask { // expect warning 324: 已定义但不使用的对象.
    public void run() throws IOException { } // expect error: 方法与重载的原型仅有异常列表不同 // expect warning 331: 
};
int main(String[] args) { return 0; } // expect warning 204: 未使用的参数:args
