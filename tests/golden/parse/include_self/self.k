include("self.k")
class S {
};
