// Using blocks name packages by their dotted paths; a path no package has
// is reported at its name. A declaration marked @Declare declares nothing.
@Declare class Declared { };
package util { // expect warning 324: 已定义但不使用的对象.
    package inner {
    };
};
using {
    util;
    util.inner;
    util.missing; // expect error: 找不到包
};
class Declared { // expect warning 324: 已定义但不使用的对象.
};
