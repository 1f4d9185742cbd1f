// What the generated web-server main class asks of a server-page program.
class ServerController {
    public String getServerName() { return "korvo pages"; }
    public void serverInit(Website site) { }
    public int getThreadPoolSize() { return 4; }
    public String getDomain() { return "localhost"; }
    public void onServerStart(HttpServer server) { }
    public int getPort() { return 8080; }
    public void startResult(bool started) { }
    public bool isServiceMode() { return false; }
};
