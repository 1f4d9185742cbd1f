class Util { };
