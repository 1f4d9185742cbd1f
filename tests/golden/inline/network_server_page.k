// The generated server-page shapes override with the keyword: no warning 323.
class Page_1 : HttpServlet{
 public Page_1(){
super(4, "/x");
}
void doPost(HttpServletRequest request, HttpServletResponse response) override {
 doGet(request, response);
 }
 void doGet(HttpServletRequest request, HttpServletResponse response) override {HttpServletRequest session = request;HttpServletResponse out = response;
  out.setContentType("text/html");
  response.setResponseCode(HttpServletResponse.SC_OK);
  out.print(session.getQueryString());
 }
};
class korvowebserver {
    static int main(String[] args) {
        Website wb = new Website();
        wb.registryServlet(new Page_1());
        HttpServer server = new HttpServer();
        server.setThreadPoolSize(8);
        server.addWebsite("localhost", wb);
        if (server.start(HttpServer.DEFAULT_MODEL, 8889)) return 0;
        if (args == nilptr) return 2;
        return 1;
    }
};
