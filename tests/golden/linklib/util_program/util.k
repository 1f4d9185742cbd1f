class Util { int twice(int v) { return v * 2; } };
