require("lib.k", "extra.k")
class Main {
};
