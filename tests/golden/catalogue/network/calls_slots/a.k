// Catalogue calls list their method slots: StreamSocket keeps Stream's slots
// and appends its own after them; DatagramPacket is reached through its owner.
void sockets(StreamSocket s, long ms) {
    s.available(true);
    s.available(ms, StreamSocket.FLAGS_READABLE);
    s.getSoLinger();
    s.seek(Stream.SeekBegin, ms);
    s.accept();
    s.close();
}
void datagrams(DatagramSocket d, DatagramSocket.DatagramPacket p) {
    d.bind("localhost", 9000);
    d.receive(p);
    p.getData();
    d.isListenning();
}
void sessions(WebSocketSession ws, byte[] b) {
    ws.sendBinary(b);
    ws.sendBinary(b, 0, 4);
}
int main(String[] args) { return 0; }
