// Catalogue constants as case values, assignments between catalogue types and
// an overload that does not exist.
class Limits { public static const int TOP = 302; };
int codes(int v) { // expect warning 324: 已定义但不使用的对象.
    switch (v) {
        case HttpServletResponse.SC_MOVED_TEMPORARILY: return 1;
        case HttpServletResponse.SC_FOUND: return 2; // expect error: 相同的值在此开关中已经存在
        case HttpServletResponse.SC_TEMPORARY_REDIRECT: return 3;
    }
    return 0;
}
int limits(int v) { // expect warning 324: 已定义但不使用的对象.
    switch (v) {
        case Limits.TOP: return 1;
        case HttpServletResponse.SC_FOUND: return 2; // expect error: 相同的值在此开关中已经存在
    }
    return 0;
}
int modes(int v) { // expect warning 324: 已定义但不使用的对象.
    switch (v) {
        case Unsi.DISABLE_NAMELIST: return 1;
        case IRCPEventHandler.DONT_NEED_PROCESS: return 2; // expect error: 相同的值在此开关中已经存在
    }
    return 0;
}
int proxies(int v) { // expect warning 324: 已定义但不使用的对象.
    switch (v) {
        case HttpRequest.PROXY_HTTP: return 0;
        case HttpRequest.PROXY_HTTP_10: return 1;
        case 2: return 2;
        case 3: return 3;
        case HttpRequest.PROXY_SOCKS4: return 4;
        case HttpRequest.PROXY_SOCKS5: return 5;
        case HttpRequest.PROXY_SOCKS4A: return 6;
        case HttpRequest.PROXY_HTTP_SOCKS5_HOSTNAME: return 7;
        case HttpServer.EPOLL_MODEL: return 8;
    }
    return 9;
}
void assignments() { // expect warning 324: 已定义但不使用的对象.
    Stream s = new StreamSocket();
    AsyncInput i = new UnsiInput();
    AsyncOutput o = new UnsiOutput();
    Stream d = new DatagramSocket(); // expect error: 类型不匹配,无法赋值
}
void sessions(WebSocketSession ws, byte[] b) { // expect warning 324: 已定义但不使用的对象.
    ws.sendBinary(b);
    ws.sendBinary(b, 0, 4);
    ws.sendBinary(b, 0); // expect error: 找不到方法(参数不正确 或 找不到符合参数的方法)
}
int main(String[] args) {
    if (args == nilptr) return 1;
    return 0;
}
