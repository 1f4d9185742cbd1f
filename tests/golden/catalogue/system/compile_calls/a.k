// Calls of ByteArrayOutputStream go to its slots (Stream's table with the
// overrides in place); Math's constants are bit-exact immediates.
int main(String[] args) {
    ByteArrayOutputStream bs = new ByteArrayOutputStream();
    byte[] b = new byte[4];
    bs.write(b, 0, 4);
    bs.writeInt(7);
    long p = bs.getPosition();
    byte[] out = bs.toByteArray();
    bs.close();
    Stream s = bs;
    long n = s.length();
    double e = Math.E;
    double pi = Math.PI;
    int c = Math.abs(-3);
    long d = Math.abs(5L);
    return 0;
}
