package p { @Declare class A { }; };
