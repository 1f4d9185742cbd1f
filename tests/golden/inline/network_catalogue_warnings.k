// Nilptr into the catalogue's parameters: only those its tables mark NotNilptr warn.
void nilArguments(HttpRequest r, StreamSocket s, Website w, Unsi u) {
    r.get(nilptr, 1000, false); // expect warning 317: 对象值可能为 nilptr (已限定值为 non-nilptr).
    s.connect(nilptr, 80, 1000); // expect warning 317: 对象值可能为 nilptr (已限定值为 non-nilptr).
    w.setRootDirectory(nilptr);
    u.create(nilptr, Unsi.UNSI_TCP, 80, 1000);
}
// The nested DatagramPacket is a registered name.
int shadowing() {
    int DatagramPacket = 2; // expect warning 298: DatagramPacket 是已定义的类型名或者包名.
    return DatagramPacket;
}
int main(String[] args) {
    nilArguments(new HttpRequest(), new StreamSocket(), new Website(), new Unsi());
    if (args == nilptr) return 1;
    return shadowing();
}
