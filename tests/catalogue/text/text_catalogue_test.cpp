// Rows of the text catalogue with the slots and descriptors the tables and the
// runtime give them.
#include <gtest/gtest.h>

#include "catalogue/catalogue_slots.h"
#include "catalogue/text/text_catalogue.h"

namespace {

TEST(TextCatalogue, RowsKeepTheirSlots) {
    catalogue_test::SlotModel m({textCatalogue()});
    const catalogue_test::SlotRow rows[] = {
        {"String", 'I', 5, "I5 - String(byte[]! bytes, int offset, int len, String! charset) desc=0x000A001000000005"},
        {"String", 'I', 7, "I7 int length() desc=0x000A001000000007"},
        {"String", 'I', 15, "I15 String +(Object value) desc=0x000A00100000000F"},
        {"String", 'I', 48, "I48 String trim(bool Ext) desc=0x000A001000000030"},
        {"String", 'I', 73,
         "I73 byte [](int index) throws IndexOutOfBoundsException desc=0x000A001000000049"},
        {"String", 'S', 0,
         "S0 static String detectCharset(byte[]! data, int offset, int len) throws "
         "IllegalArgumentException, IndexOutOfBoundsException desc=0x000A001A00000000"},
        {"String", 'S', 3,
         "S3 static String format(String! format, Object[]! args) throws IllegalArgumentException "
         "desc=0x000A001A00000003"},
        {"StringBuffer", 'I', 16, "I16 StringBuffer +=(Object v) desc=0x0025001000000010"},
        {"StringBuffer", 'I', 31,
         "I31 byte[] getBytes(String charset) throws IllegalArgumentException desc=0x002500100000001F"},
        {"StringBuffer", 'I', 49, "I49 StringBuffer appendPath(String! path) desc=0x0025001000000031"},
        {"StringBuffer", 'S', 0, "S0 static StringBuffer formatPath(bool bReslash) desc=0x0025001A00000000"},
        {"StringBuffer", 'I', 50, "I50 StringBuffer trim(bool bExt) desc=0x0025001000000032"},
        {"StringBuffer", 'I', 74, "I74 String toString() desc=0x002500100000004A"},
        {"StringBuffer", 'I', 80,
         "I80 char [](int position) throws IllegalArgumentException desc=0x0025001000000050"},
        {"JsonNode", 'I', 6, "I6 final int getType() desc=0x003E001000000006"},
        {"JsonNode", 'S', 0, "S0 static JsonNode From(String text) desc=0x003E001A00000000"},
        {"JsonNode", 'I', 10, "I10 XmlObject asXml() desc=0x003E00100000000A"},
        // Inherited entries keep the base's function and descriptor.
        {"JsonObject", 'I', 1, "I1 JsonNode next() desc=0x003E001000000001"},
        {"JsonObject", 'I', 13, "I13 int getInt(Object! key) desc=0x003600100000000D"},
        {"JsonArray", 'I', 26,
         "I26 Object [](int index, Object! val) throws IllegalArgumentException desc=0x003700100000001A"},
        {"XmlObject", 'I', 14,
         "I14 noobj String value() throws NullPointerException, IllegalArgumentException "
         "desc=0x004A00100000000E"},
        {"Pattern", 'I', 2,
         "I2 Pattern.Result matchAll(String! text, int offset, int length, int options) throws "
         "IllegalArgumentException, IndexOutOfBoundsException desc=0x002D001000000002"},
        {"Pattern", 'S', 2,
         "S2 static bool test(String! text, String! regex, int options, bool bFull) throws "
         "IllegalArgumentException desc=0x002D001A00000002"},
        {"Pattern.Result", 'I', 0, "I0 - Result() desc=0x002E001000000000"},
        {"KRegular", 'S', 0,
         "S0 static KRegular.Result Match(byte[] data, int pos, int length, String expression) "
         "desc=0x003F001A00000000"},
        {"List", 'I', 12, "I12 Element[] toArray(Element[] ready) desc=0x002900100000000C"},
        {"List", 'I', 17, "I17 int size() desc=0x0029001000000011"},
        {"List.Iterator", 'I', 0,
         "I0 bool hasNext() throws InvalidIteratorException desc=0x002A001000000000"},
        {"Map", 'I', 1, "I1 Iterator put(Key key, Value val) desc=0x002B001000000001"},
        {"Map", 'I', 7, "I7 void remove(Iterator! iterator) desc=0x002B001000000007"},
        {"Map.Iterator", 'I', 4,
         "I4 Value getValue() throws IllegalArgumentException, InvalidIteratorException "
         "desc=0x002C001000000004"},
        {"Vector", 'I', 0, "I0 int Vector() desc=0x0028001000000000"},
        {"Vector", 'I', 16,
         "I16 Element [](int position) throws IllegalArgumentException, IndexOutOfBoundsException "
         "desc=0x0028001000000010"},
    };
    for (const catalogue_test::SlotRow& r : rows) EXPECT_EQ(m.line(r.cls, r.table, r.slot), r.line);

    // The derived JSON classes start their own methods at I11.
    EXPECT_EQ(m.slotOf("JsonObject", 0), "I11");
    EXPECT_EQ(m.slots("JsonObject").instance.size(), 32u);
    EXPECT_EQ(m.slots("JsonArray").instance.size(), 28u);
    EXPECT_EQ(m.slots("JsonArray").statics.size(), 1u);
}

TEST(TextCatalogue, ConstantsAndFieldsAsDeclared) {
    std::map<std::string, const MemberText*> texts;
    for (const CatalogueClass& c : textCatalogue()) texts[catalogue_test::qualifiedName(c)] = &catalogueMembers(c);
    ASSERT_FALSE(texts["String"]->constants.empty());
    ASSERT_GE(texts["Pattern"]->constants.size(), 40u);
    const MemberConstant& slash = texts["String"]->constants[0];
    EXPECT_EQ(slash.kind, ConstantKind::Char);
    EXPECT_EQ(slash.name, "SLASH");
    EXPECT_EQ(slash.bits, 92u);
    // Shared values are kept, in the table's order.
    const auto& pattern = texts["Pattern"]->constants;
    EXPECT_EQ(pattern[11].name, "UTF8");
    EXPECT_EQ(pattern[13].name, "UTF32");
    EXPECT_EQ(pattern[13].bits, 2048u);
    EXPECT_EQ(pattern[29].name, "NEWLINE_CRLF");
    EXPECT_EQ(pattern[29].bits, 3145728u);
    EXPECT_EQ(pattern[39].name, "UCP");
    EXPECT_EQ(pattern[39].bits, 536870912u);
    const auto& iterator = texts["Map.Iterator"]->fields;
    ASSERT_EQ(iterator.size(), 2u);
    EXPECT_EQ(iterator[0].name, "ownner");
    EXPECT_EQ(iterator[1].name, "internalhandle");
}

}  // namespace
