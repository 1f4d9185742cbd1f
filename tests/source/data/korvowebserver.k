// The entry of a server-page program: serves every page of the project
// through one web site, or manages the program as a system service.
class korvowebserver {
    static String serverName = "korvo web server";
    static ServerController controller = new ServerController();

    static int main(String[] args) {
        serverName = controller.getServerName();
        if (args.length == 2) {
            String command = args[1];
            if (command.equals("install")) {
                if (_system_.isServiceInstalled(serverName) == false) {
                    _system_.installService(_system_.getAppPath(), serverName, serverName, serverName);
                }
            } else if (command.equals("uninstall")) {
                if (_system_.isServiceInstalled(serverName)) {
                    _system_.uninstallService(serverName);
                }
            } else if (command.equals("start")) {
                String appPath = _system_.getAppPath();
                Process process = new Process(appPath, new String[]{appPath});
                process.create(Process.Default);
            } else {
                _system_.consoleWrite("unknown command: " + command + "\n");
            }
            return 0;
        }
        return runServer();
    }

    static int runServer() {
        Website wb = new Website();
        controller.serverInit(wb);
        ___REGISTRY_PAGES___();
        HttpServer server = new HttpServer();
        server.setThreadPoolSize(controller.getThreadPoolSize());
        // The domain is an IP address or a domain name; several are
        // separated by semicolons.
        server.addWebsite(controller.getDomain(), wb);
        controller.onServerStart(server);
        // HTTPS: server.configHttps(true, certificatePem, keyPem);
        // DEFAULT_MODEL picks the I/O model; POLL_MODEL, EPOLL_MODEL and
        // SELECT_MODEL choose one.
        bool started = server.start(HttpServer.DEFAULT_MODEL, controller.getPort());
        if (started) {
            _system_.consoleWrite(serverName + " started\n");
        } else {
            _system_.consoleWrite(serverName + " failed to start\n");
        }
        controller.startResult(started);
        if (controller.isServiceMode()) {
            _system_.serviceRun(serverName);
        } else {
            while (true) {
                Thread.sleep(1000000);
            }
        }
        return 0;
    }
};
