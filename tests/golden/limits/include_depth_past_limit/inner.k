class Inner {
};
