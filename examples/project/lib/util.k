// Helpers shared by the project's files.
class Util {
    public static int twice(int value) { return value * 2; }
};
