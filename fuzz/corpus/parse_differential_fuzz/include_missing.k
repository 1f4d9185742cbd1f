include("korvo-parser-fuzz-self.k")
class A { };
