using { a.b.c; d; };
using { e; };
