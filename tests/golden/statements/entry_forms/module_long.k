void _entry(long module, int version) { }
