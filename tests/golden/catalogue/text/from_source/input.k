class Holder {
    List<int> values;
    List<int> more;
    Map<long, String> names;
    Vector<String> words;
};
