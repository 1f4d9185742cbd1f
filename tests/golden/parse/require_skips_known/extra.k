require("main.k")
class Extra {
};
