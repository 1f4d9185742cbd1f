class Lib {
};
