// A directive is not a statement: the ';' after it is a syntax error.
include("../project/lib/util.k");

int main(String[] args) { return Util.twice(args.length); }
