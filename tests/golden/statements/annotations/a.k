@Deprecated
class A { };
@Deprecated(version = "2.0", message = "use B")
class B { };
@Error(message = "stop") @Deprecated
class C { };
@Warning(message = "octal", code = 010)
class D { };
@Warning(message = "negative", code = 12)
class E { };
@Warning(message = "none")
class F { };
@Compiler(version = ">=4.0")
class G { };
@Compiler(version = "5.0") @Warning(message = "not reached")
class H { };
@Version(value = "$FileVersion") @Version(value = "1.0")
class I { };
@Require(PackageName = "a,b", version = ">=1", url = "u")
class J { };
@Require(ClassName = "I", version = ">=2.0", dlurl = "d")
class K { };
@Require(ClassName = "A", version = "1")
class L { };
@Require(ClassName = "A")
class M { };
@SuppressWarnings @Warning(message = "own warnings still come")
class N { };
@SuppressWarnings
class P { @Deprecated class Q { }; };
class R { @Deprecated class S { }; };
@Compiler(version = ">=4.-9223372036854775808")
class V { };
