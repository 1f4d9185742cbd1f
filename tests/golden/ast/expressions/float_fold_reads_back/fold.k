class Fold {
    double a = 2.0 / 3;
    double b = 2.0 / 3 * 1;
    double c = 0.1 * 3;
    double d = 0.1 * 3 * 1;
    double e = 1 / 3.0 + 0;
};
