class First {
};
