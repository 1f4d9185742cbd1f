// Rows of the system catalogue with their slots and descriptors, and the
// position-to-slot tables of the derived and mixed classes.
#include <gtest/gtest.h>

#include "catalogue/catalogue_slots.h"
#include "catalogue/system/system_catalogue.h"

namespace {

std::string slotsOf(const catalogue_test::SlotModel& m, const char* cls) {
    std::string out;
    size_t count = 0;
    for (const CatalogueClass& c : systemCatalogue()) {
        if (catalogue_test::qualifiedName(c) == cls) count = catalogueMembers(c).methods.size();
    }
    for (size_t i = 0; i < count; ++i) out += (i ? " " : "") + m.slotOf(cls, i);
    return out;
}

TEST(SystemCatalogue, PositionsMapToTheSlotTables) {
    catalogue_test::SlotModel m({systemCatalogue()});
    EXPECT_EQ(slotsOf(m, "ByteArrayOutputStream"), "I1 I3 I4 I7 I40 I41 I42");
    EXPECT_EQ(slotsOf(m, "GZipInputStream"), "I0 I2 I3 I4 I5 I6 I7 I40 I41 I42");
    EXPECT_EQ(slotsOf(m, "GZipOutputStream"), "I1 I3 I5 I7 I40 I41 I42");
    EXPECT_EQ(slotsOf(m, "ReentrantLock"), "I0 I1 I2 I3 I4");
    EXPECT_EQ(slotsOf(m, "UnreentrantLock"), "I0 I1 I2 I3 I4");
    EXPECT_EQ(slotsOf(m, "ReentrantReadWriteLock"), "I0 I1 I2 I3 I4 I5 I6 I7");
    EXPECT_EQ(slotsOf(m, "Cipher"), "S0 S1 S2 I0 I1 I2 I3 I4 I5 I6 I7 I8 I9");
    EXPECT_EQ(slotsOf(m, "KeyFactory"), "S0 I0 S1");
    EXPECT_EQ(slotsOf(m, "Process"), "I0 I1 I2 I3 I4 I5 I6 I7 I8 I9 S0 I10 I11 I12");
    EXPECT_EQ(slotsOf(m, "Signature"), "S0 S1 I0 I1 I2 I3 I4 I5 I6 I7 I8 I9 I10 I11");
}

TEST(SystemCatalogue, RowsKeepTheirSlots) {
    catalogue_test::SlotModel m({systemCatalogue()});
    const char* kFour = "IOException, TimeoutException, InterruptedException, IllegalArgumentException";
    const catalogue_test::SlotRow rows[] = {
        {"Stream", 'I', 0,
         "I0 int read(byte[]! buffer, int offset, int length) throws IOException, TimeoutException, "
         "InterruptedException, IllegalArgumentException, IndexOutOfBoundsException desc=0x0034001000000000"},
        {"Stream", 'I', 7, "I7 void close() throws IllegalArgumentException desc=0x0034001000000007"},
        {"Stream", 'I', 15,
         std::string("I15 final void writeString(String v) throws ") + kFour + " desc=0x003400100000000F"},
        {"Stream", 'I', 39,
         std::string("I39 final String readStringLE() throws ") + kFour + " desc=0x0034001000000027"},
        {"ByteArrayOutputStream", 'I', 41, "I41 byte[] toByteArray() desc=0x005B001000000029"},
        {"ByteArrayOutputStream", 'I', 42, "I42 void finalize() desc=0x005B00100000002A"},
        // Not overridden: still Stream's own entry.
        {"ByteArrayOutputStream", 'I', 10, std::string("I10 final void writeInt(int v) throws ") + kFour +
                                               " desc=0x003400100000000A"},
        {"GZipInputStream", 'I', 41, "I41 - GZipInputStream(Stream! stream) desc=0x0059001000000029"},
        {"GZipOutputStream", 'I', 42, "I42 void finish() desc=0x005A00100000002A"},
        {"File", 'I', 2, "I2 - File(File! parent, String! object) desc=0x0024001000000002"},
        {"File", 'I', 9, "I9 bool chmod(int mod) desc=0x0024001000000009"},
        {"ZipFile", 'I', 4,
         "I4 int read(byte[]! data, int offet, int length) throws IllegalArgumentException, "
         "IndexOutOfBoundsException desc=0x0043001000000004"},
        {"Math", 'S', 3, "S3 static double acos(double v) desc=0x0033001A00000003"},
        {"Math", 'S', 42, "S42 static int floatToIntBits(float v) desc=0x0033001A0000002A"},
        {"Library", 'S', 0,
         "S0 static void loadLibrary(String! module) throws NullPointerException desc=0x004C001A00000000"},
        {"ISystemSignalHandler", 'I', 0, "I0 int onSignal(int signal) desc=0x0052001000000000"},
        {"Timer", 'I', 2,
         "I2 bool schedule(TimerTask! task, int delay, int period) throws IllegalArgumentException "
         "desc=0x0038001000000002"},
        {"TimerTask", 'I', 0, "I0 void run() desc=0x0039001000000000"},
        {"Process", 'S', 0, "S0 static long CurrentProcessId() desc=0x003D001A00000000"},
        {"Process", 'I', 10, "I10 void raise(int sig) desc=0x003D00100000000A"},
        {"Base64", 'S', 0,
         "S0 static String encodeToString(byte[]! data, bool warp) desc=0x0035001A00000000"},
        {"Crypto", 'S', 23,
         "S23 static long aes_open(String pwd, String ivec_init, int method, bool bDecrypto) throws "
         "IllegalArgumentException desc=0x0041001A00000017"},
        {"Crypto", 'S', 24,
         "S24 static int aes_encrypt(long haes, byte[]! in_data, int in_offset, int in_length, "
         "byte[]! out_data, int out_offset, int out_length, int padding) throws "
         "IllegalArgumentException, IndexOutOfBoundsException desc=0x0041001A00000018"},
        {"KeyFactory", 'S', 0, "S0 static KeyFactory getInstance(String transformation) desc=0x005F001A00000000"},
        {"KeyFactory", 'S', 1,
         "S1 static bool registryKeyFactory(String transformation, Key key) desc=0x005F001A00000001"},
        {"Signature", 'S', 0,
         "S0 static bool registrySignature(String algorithm, Signature cipher) desc=0x0061001A00000000"},
        {"X509Certificate", 'I', 18, "I18 bool[] getKeyUsage() desc=0x0060001000000012"},
    };
    for (const catalogue_test::SlotRow& r : rows) EXPECT_EQ(m.line(r.cls, r.table, r.slot), r.line);
}

TEST(SystemCatalogue, ConstantsAndFieldsAsDeclared) {
    std::map<std::string, const MemberText*> texts;
    for (const CatalogueClass& c : systemCatalogue()) texts[c.name] = &catalogueMembers(c);
    const auto& math = texts["Math"]->constants;
    ASSERT_EQ(math.size(), 2u);
    EXPECT_EQ(math[0].kind, ConstantKind::Double);
    EXPECT_EQ(math[0].bits, 0x4005BF0A8B145769u);
    EXPECT_EQ(math[1].bits, 0x400921FB54442D18u);
    const auto& signature = *texts["Signature"];
    ASSERT_GE(signature.fields.size(), 2u);
    ASSERT_GE(signature.constants.size(), 3u);
    ASSERT_FALSE(texts["GZipInputStream"]->fields.empty());
    ASSERT_FALSE(texts["Process"]->fields.empty());
    ASSERT_GE(texts["Crypto"]->constants.size(), 9u);
    EXPECT_EQ(signature.fields[0].name, "state");
    EXPECT_EQ(signature.fields[0].type.name, "int");
    EXPECT_EQ(signature.fields[1].name, "internalhandle");
    EXPECT_EQ(signature.constants[0].name, "SIGN");
    EXPECT_EQ(signature.constants[1].bits, 0u);
    EXPECT_EQ(signature.constants[2].bits, 3u);
    EXPECT_EQ(texts["GZipInputStream"]->fields[0].name, "handle");
    EXPECT_EQ(texts["Process"]->fields[0].name, "handle");
    EXPECT_EQ(texts["Crypto"]->constants[8].name, "AES_CFB8");
    EXPECT_EQ(texts["Crypto"]->constants[8].bits, 3u);
}

}  // namespace
