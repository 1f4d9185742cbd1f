import "k.dll" { int stdcall f(char * s, ...); };
using { a.b; };
include("x.k") require("y.k")
