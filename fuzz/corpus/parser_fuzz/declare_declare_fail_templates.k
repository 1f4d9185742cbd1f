// Template classes and their instances: a built-in template with a wrong
// argument count, an argument naming nothing, a name that is no template,
// a source template used with its own arguments and one that needs an
// ever deeper instance of itself. List<int> twice makes one instance.
class Uses { // expect warning 324: 已定义但不使用的对象.
    List<int> first;
    List<int> second;
    Map<int> wrongCount; // expect error: 模板不接受1个参数, 应为2个参数
    List<Nothing> unknownArgument; // expect error: 找不到对象: // expect error: 未知的类型
    Uses<int> notATemplate; // expect error: 不能确定对象的类型 // expect error: 未知的类型
};
class Box<T> {
    Box<T> same;
    T value;
};
class Deep<T> {
    Deep<Deep<T>> deeper; // expect error: 无法展开递归嵌套的模板.
};
class Users { // expect warning 324: 已定义但不使用的对象.
    Box<int> box;
    Deep<int> deep;
};
class Box<U> { // expect error: 相同命名的对象已存在
};
