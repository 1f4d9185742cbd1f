@Deprecated
@Native(CallConvention = "StdCall", Library = "k.dll")
int f(@NotNilptr String s) { }
class C { @Native(CallConvention = Stdcall) @NotNilptr int g(); @A(x, y = 1, z = 'c') int h; };
@Declare class D { };
@Declare package P { };
