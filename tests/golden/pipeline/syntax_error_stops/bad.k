class Bad {
    int x = ;
};
