include("inner.k")
