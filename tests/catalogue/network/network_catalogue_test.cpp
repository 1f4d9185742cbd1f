// Rows of the network catalogue with their slots and descriptors; the stream
// socket builds on the system catalogue's Stream.
#include <gtest/gtest.h>

#include "catalogue/catalogue_slots.h"
#include "catalogue/network/network_catalogue.h"
#include "catalogue/system/system_catalogue.h"

namespace {

TEST(NetworkCatalogue, CallsReachTheTablesSlots) {
    catalogue_test::SlotModel m({systemCatalogue(), networkCatalogue()});
    // Position in the class's own table -> slot, as calls list them.
    struct Call {
        const char* cls;
        size_t position;
        const char* slot;
    };
    const Call calls[] = {
        {"StreamSocket", 2, "I5"},   // available(true)
        {"StreamSocket", 6, "I41"},  // available(ms, flags)
        {"StreamSocket", 28, "I63"}, // getSoLinger()
        {"StreamSocket", 16, "I51"}, // accept()
        {"StreamSocket", 4, "I7"},   // close()
        {"StreamSocket", 5, "I40"},  {"StreamSocket", 29, "S0"}, {"StreamSocket", 30, "I64"},
        {"DatagramSocket", 1, "I1"},   // bind
        {"DatagramSocket", 18, "I18"}, // receive
        {"DatagramSocket", 24, "I24"}, // isListenning
        {"DatagramSocket", 31, "S0"},  {"DatagramSocket", 32, "I31"},
        {"DatagramSocket.DatagramPacket", 8, "I8"},  // getData
        {"DatagramSocket.DatagramPacket", 3, "I3"},  // bind between the constructors
        {"InetAddress", 5, "S0"},    {"InetAddress", 6, "I5"},
        {"HttpServletResponse", 7, "I7"},  // setContentType
        {"HttpServletResponse", 4, "I4"},  // setResponseCode
        {"HttpServletResponse", 1, "I1"},  // print
        {"HttpServletRequest", 23, "I23"}, // getQueryString
        {"WebSocketSession", 17, "I17"},   // sendBinary(b, 0, 4)
        {"WebSocketSession", 18, "I18"},   // sendBinary(b)
        {"UnsiInput", 5, "I5"},      {"UnsiOutput", 6, "I6"},
    };
    for (const Call& c : calls) EXPECT_EQ(m.slotOf(c.cls, c.position), c.slot) << c.cls << " " << c.position;
    // The inherited seek stays Stream's.
    EXPECT_EQ(m.line("StreamSocket", 'I', 2),
              "I2 long seek(int seektype, long offset) throws IOException, IllegalArgumentException, "
              "IndexOutOfBoundsException desc=0x0034001000000002");
    EXPECT_EQ(m.slots("StreamSocket").instance.size(), 65u);
}

TEST(NetworkCatalogue, RowsKeepTheirSlots) {
    catalogue_test::SlotModel m({systemCatalogue(), networkCatalogue()});
    const catalogue_test::SlotRow rows[] = {
        {"StreamSocket", 'S', 0,
         "S0 static int select(StreamSocket[]! sockets, int flags, int offset, int count, int[]! sets, int "
         "timeout) throws InterruptedException, IllegalArgumentException, IndexOutOfBoundsException "
         "desc=0x003A001A00000000"},
        {"StreamSocket", 'I', 41, "I41 int available(long millisecond, int flags) desc=0x003A001000000029"},
        {"AsyncInput", 'I', 0,
         "I0 void notify(AsyncOutput! output, int type, long distbind, bool bSuccess, long context, int "
         "processedLen) desc=0x0030001000000000"},
        {"UnsiInput", 'I', 0,
         "I0 void notify(AsyncOutput! output, int type, long distbind, bool bSuccess, long context, int "
         "processedLen) desc=0x0048001000000000"},
        {"UnsiOutput", 'I', 2,
         "I2 long newInstance(AsyncInput! input, String! linkstring, int port, long distbind) "
         "desc=0x0047001000000002"},
        {"DatagramSocket", 'I', 18,
         "I18 bool receive(DatagramSocket.DatagramPacket! packet) desc=0x003B001000000012"},
        {"Unsi", 'I', 6,
         "I6 bool create(AsyncInput input, int mode, int port, int timeout) throws IllegalArgumentException "
         "desc=0x0031001000000006"},
        {"IRCPEventHandler", 'I', 4,
         "I4 int onDecode(long context, byte[] buffer, int length, Stream outStream) desc=0x0049001000000004"},
        {"HttpRequest", 'I', 3,
         "I3 bool setProxy(String! url, int port, int optionType, String username, String password) "
         "desc=0x002F001000000003"},
        {"HttpRequest", 'I', 5,
         "I5 bool putFormField(String! name, String! fieldName, String fieldType, byte[]! data) "
         "desc=0x002F001000000005"},
        {"HttpServlet", 'I', 2,
         "I2 void doGet(HttpServletRequest request, HttpServletResponse resp) desc=0x0056001000000002"},
        {"HttpServletResponse", 'I', 7, "I7 void setContentType(String sType) desc=0x0058001000000007"},
        {"WebSocketSession", 'I', 17,
         "I17 bool sendBinary(byte[] text, int offset, int size) desc=0x005C001000000011"},
    };
    for (const catalogue_test::SlotRow& r : rows) EXPECT_EQ(m.line(r.cls, r.table, r.slot), r.line);
}

TEST(NetworkCatalogue, ConstantsAsDeclared) {
    std::map<std::string, const MemberText*> texts;
    for (const CatalogueClass& c : networkCatalogue()) texts[c.name] = &catalogueMembers(c);
    const auto& response = texts["HttpServletResponse"]->constants;
    ASSERT_GE(response.size(), 13u);
    ASSERT_GE(texts["Unsi"]->constants.size(), 5u);
    ASSERT_FALSE(texts["IRCPEventHandler"]->constants.empty());
    ASSERT_FALSE(texts["Website"]->fields.empty());
    EXPECT_EQ(response[11].name, "SC_MOVED_TEMPORARILY");
    EXPECT_EQ(response[12].name, "SC_FOUND");
    EXPECT_EQ(response[11].bits, 302u);
    EXPECT_EQ(response[12].bits, 302u);
    EXPECT_EQ(texts["Unsi"]->constants[4].name, "DISABLE_NAMELIST");
    EXPECT_EQ(texts["Unsi"]->constants[4].bits, UINT64_MAX);  // -1, sign-extended
    EXPECT_EQ(texts["IRCPEventHandler"]->constants[0].bits, UINT64_MAX);
    std::vector<uint64_t> server;
    for (const MemberConstant& c : texts["HttpServer"]->constants) server.push_back(c.bits);
    EXPECT_EQ(server, (std::vector<uint64_t>{0, 8, 72, 520, 32768}));
    std::vector<uint64_t> proxies;
    for (const MemberConstant& c : texts["HttpRequest"]->constants) proxies.push_back(c.bits);
    EXPECT_EQ(proxies, (std::vector<uint64_t>{0, 1, 4, 5, 6, 7}));
    EXPECT_EQ(texts["Website"]->fields[0].name, "handle");
}

}  // namespace
