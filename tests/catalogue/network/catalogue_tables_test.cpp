// Every installed catalogue text against the class tables: counts per class
// and per subsystem, ids, the order of bases and owners, and no refused
// registration under the slot rule.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "builtins/core_texts.h"
#include "builtins/member_text_print.h"
#include "catalogue/catalogue_slots.h"
#include "catalogue/network/network_catalogue.h"
#include "catalogue/system/system_catalogue.h"
#include "catalogue/text/text_catalogue.h"

namespace {

using catalogue_test::qualifiedName;

std::vector<const CatalogueClass*> allClasses() {
    std::vector<const CatalogueClass*> out;
    for (auto list : {textCatalogue(), systemCatalogue(), networkCatalogue()}) {
        for (const CatalogueClass& c : list) out.push_back(&c);
    }
    return out;
}

struct Expected {
    const char* name;
    int id;
    int methods;  // all methods the class's text declares
    int statics;  // of them static
    int constants;
    int fields;
};

// From the class facts and class tables of the catalogue.
const Expected kText[] = {
    {"String", 10, 79, 5, 1, 0},         {"StringBuffer", 37, 82, 1, 0, 1},
    {"JsonNode", 62, 12, 1, 6, 1},       {"JsonObject", 54, 21, 0, 0, 0},
    {"JsonArray", 55, 17, 0, 0, 0},      {"XmlObject", 74, 25, 0, 6, 1},
    {"Pattern", 45, 8, 3, 40, 1},        {"Pattern.Result", 46, 7, 0, 0, 1},
    {"KRegular", 63, 1, 1, 0, 0},        {"KRegular.Result", 64, 12, 0, 0, 1},
    {"Vector", 40, 19, 0, 0, 1},         {"List", 41, 19, 0, 0, 1},
    {"List.Iterator", 42, 12, 0, 0, 2},  {"Map", 43, 15, 0, 0, 1},
    {"Map.Iterator", 44, 12, 0, 0, 2},
};
const Expected kSystem[] = {
    {"Stream", 52, 40, 0, 3, 0},          {"ByteArrayOutputStream", 91, 7, 0, 0, 1},
    {"GZipInputStream", 89, 10, 0, 0, 1}, {"GZipOutputStream", 90, 7, 0, 0, 1},
    {"File", 36, 20, 0, 0, 1},            {"ZipArchive", 66, 12, 0, 0, 1},
    {"ZipEntry", 68, 8, 0, 0, 1},         {"ZipFile", 67, 6, 0, 0, 1},
    {"Math", 51, 43, 43, 2, 0},           {"Library", 76, 2, 2, 0, 0},
    {"ICrashHandler", 75, 1, 0, 0, 0},    {"ISystemSignalHandler", 82, 1, 0, 0, 0},
    {"Lock", 77, 3, 0, 0, 0},             {"ReadWriteLock", 78, 6, 0, 0, 0},
    {"ReentrantLock", 79, 5, 0, 0, 1},    {"ReentrantReadWriteLock", 81, 8, 0, 0, 1},
    {"UnreentrantLock", 80, 5, 0, 0, 1},  {"Timer", 56, 5, 0, 0, 1},
    {"TimerTask", 57, 1, 0, 0, 0},        {"Process", 61, 14, 1, 7, 1},
    {"Base64", 53, 3, 3, 0, 0},           {"Crypto", 65, 31, 31, 10, 0},
    {"Cipher", 93, 13, 3, 4, 1},          {"Key", 94, 12, 0, 3, 1},
    {"KeyFactory", 95, 3, 2, 0, 0},       {"Signature", 97, 14, 2, 3, 2},
    {"X509Certificate", 96, 22, 0, 0, 1},
};
const Expected kNetwork[] = {
    {"AsyncInput", 48, 5, 0, 0, 0},           {"AsyncOutput", 70, 6, 0, 0, 0},
    {"StreamSocket", 58, 31, 1, 3, 1},        {"InetAddress", 60, 7, 1, 0, 1},
    {"DatagramSocket", 59, 33, 1, 3, 1},      {"DatagramSocket.DatagramPacket", 83, 10, 0, 0, 1},
    {"Unsi", 49, 16, 0, 19, 1},               {"UnsiInput", 72, 6, 0, 0, 1},
    {"UnsiOutput", 71, 7, 0, 0, 1},           {"IRCPEventHandler", 73, 7, 0, 1, 0},
    {"HttpRequest", 47, 23, 0, 6, 1},         {"HttpServer", 85, 13, 0, 5, 1},
    {"HttpServlet", 86, 10, 0, 4, 1},         {"HttpServletRequest", 87, 29, 0, 0, 1},
    {"RequestParseListener", 98, 1, 0, 0, 0}, {"ServletRequestItem", 99, 6, 0, 0, 1},
    {"HttpServletResponse", 88, 9, 0, 41, 1}, {"Website", 84, 19, 0, 0, 1},
    {"WebSocketSession", 92, 26, 0, 0, 1},
};

struct Totals {
    int methods = 0, constants = 0, fields = 0;
};

Totals checkCounts(std::span<const CatalogueClass> list, std::span<const Expected> expected) {
    EXPECT_EQ(list.size(), expected.size());
    std::map<std::string, const CatalogueClass*> byName;
    for (const CatalogueClass& c : list) byName[qualifiedName(c)] = &c;
    Totals totals;
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.name);
        auto found = byName.find(e.name);
        if (found == byName.end()) {
            ADD_FAILURE() << "missing";
            continue;
        }
        const CatalogueClass& c = *found->second;
        const MemberText& text = catalogueMembers(c);
        int statics = 0;
        for (const MemberMethod& m : text.methods) statics += m.isStatic;
        EXPECT_EQ(c.builtinId, e.id);
        EXPECT_EQ(static_cast<int>(text.methods.size()), e.methods);
        EXPECT_EQ(statics, e.statics);
        EXPECT_EQ(static_cast<int>(text.constants.size()), e.constants);
        EXPECT_EQ(static_cast<int>(text.fields.size()), e.fields);
        totals.methods += static_cast<int>(text.methods.size());
        totals.constants += static_cast<int>(text.constants.size());
        totals.fields += static_cast<int>(text.fields.size());
    }
    return totals;
}

// A whole read text in one string, placeholders and lines included.
std::string everything(const MemberText& text) {
    std::string s;
    for (const MemberField& f : text.fields)
        s += "field " + std::string(f.isFinal ? "final " : "") + member_text_test::typeText(f.type, true) + " " +
             std::string(f.name) + "\n";
    for (const MemberConstant& c : text.constants)
        s += "const " + std::to_string(static_cast<int>(c.kind)) + " " + std::string(c.name) + " " +
             std::to_string(c.bits) + "\n";
    for (const MemberMethod& m : text.methods)
        s += std::to_string(m.line) + ": " + member_text_test::methodText(text, m, true) + "\n";
    return s;
}

// The tables built with the compiler are the texts as read at run time, and
// every catalogue and core text has one (none is read at start).
TEST(CatalogueTables, EveryTextReadsAsItsBuiltTable) {
    auto check = [](const std::string& label, const char* source, const char* placeholderNames,
                    const MemberText& built) {
        SCOPED_TRACE(label);
        std::vector<std::string_view> placeholders;
        if (placeholderNames != nullptr) placeholders = splitNames(placeholderNames);
        MemberText text;
        MemberTextError error;
        ASSERT_TRUE(parseMemberText(source, placeholders, text, error)) << error.message;
        EXPECT_TRUE(built.storage.methods.empty() && built.storage.fields.empty() && built.storage.constants.empty());
        EXPECT_EQ(everything(built), everything(text));
    };
    for (const CatalogueClass* c : allClasses())
        if (c->members != nullptr) check(qualifiedName(*c), c->members, c->placeholders, catalogueMembers(*c));
    for (const builtins::CoreMemberText& core : builtins::coreMemberTexts())
        check(core.label, core.text, core.placeholders, coreMembers(core.text));
}

TEST(CatalogueTables, CountsPerClassAndPerSubsystem) {
    Totals text = checkCounts(textCatalogue(), kText);
    EXPECT_EQ(text.methods, 341);
    EXPECT_EQ(text.constants, 53);
    Totals system = checkCounts(systemCatalogue(), kSystem);
    EXPECT_EQ(system.methods, 302);
    EXPECT_EQ(system.constants, 32);
    EXPECT_EQ(system.fields, 17);
    Totals network = checkCounts(networkCatalogue(), kNetwork);
    EXPECT_EQ(network.methods, 264);
    EXPECT_EQ(network.constants, 82);
    EXPECT_EQ(network.fields, 15);
}

// Ids, creation positions and rows are each unique; every base and owner is a
// catalogue class created before its dependent, and a base is declared
// before it (a smaller row); templates name their parameters.
TEST(CatalogueTables, IdsAndOrderHold) {
    std::set<int> ids, created, rows;
    std::map<std::string, const CatalogueClass*> byName;
    auto classes = allClasses();
    for (const CatalogueClass* c : classes) byName[qualifiedName(*c)] = c;
    for (const CatalogueClass* c : classes) {
        SCOPED_TRACE(qualifiedName(*c));
        EXPECT_TRUE(ids.insert(c->builtinId).second);
        EXPECT_TRUE(catalogueNameIs(*c, qualifiedName(*c)));
        if (c->builtinId == 10) {  // String: made and declared with the built-in types
            EXPECT_EQ(c->step, CatalogueStep::BuiltinTypes);
            continue;
        }
        EXPECT_TRUE(created.insert(c->created).second);
        EXPECT_TRUE(rows.insert(c->row).second);
        if (c->base != nullptr) {
            ASSERT_TRUE(byName.count(c->base));
            EXPECT_LT(byName[c->base]->row, c->row);
            EXPECT_LT(byName[c->base]->created, c->created);
        }
        if (c->owner != nullptr) {
            ASSERT_TRUE(byName.count(c->owner));
            EXPECT_LT(byName[c->owner]->created, c->created);
        }
        EXPECT_EQ(c->kind == CatalogueKind::Template, c->typeParameters != nullptr);
        EXPECT_EQ(c->kind == CatalogueKind::Template, c->step == CatalogueStep::Instance);
    }
    // With RemoteCallPipe (created 26, row 36), which is not catalogue data,
    // the positions fill 1 to 61.
    EXPECT_EQ(created.size(), 60u);
    EXPECT_EQ(rows.size(), 60u);
    EXPECT_EQ(*created.begin(), 1);
    EXPECT_EQ(*created.rbegin(), 61);
    EXPECT_FALSE(created.count(26));
    EXPECT_FALSE(rows.count(36));
}

// Every type a text names is a built-in type, a placeholder, or a catalogue
// class; every thrown class is one of the built-in exceptions.
TEST(CatalogueTables, EveryNameResolves) {
    std::set<std::string> known{"void",   "bool",  "byte",   "char",   "short", "int",
                                "long",   "float", "double", "String", "Object"};
    auto classes = allClasses();
    for (const CatalogueClass* c : classes) known.insert(qualifiedName(*c));
    const std::set<std::string> exceptions{"IOException",          "TimeoutException",
                                           "InterruptedException", "IllegalArgumentException",
                                           "IndexOutOfBoundsException", "NullPointerException",
                                           "InvalidIteratorException"};
    for (const CatalogueClass* c : classes) {
        SCOPED_TRACE(qualifiedName(*c));
        const MemberText& text = catalogueMembers(*c);
        auto check = [&](const MemberType& t) {
            if (t.placeholder < 0) {
                EXPECT_TRUE(known.count(std::string(t.name))) << t.name;
            }
        };
        for (const MemberField& f : text.fields) check(f.type);
        for (const MemberMethod& m : text.methods) {
            if (m.hasResult) check(m.result);
            for (const MemberParameter& p : text.parametersOf(m)) check(p.type);
            for (std::string_view t : text.thrownOf(m)) EXPECT_TRUE(exceptions.count(std::string(t))) << t;
        }
    }
}

// The NotNilptr marks by the classes' own rules: some mark every object
// parameter, some none; the rest mark exactly the parameters listed here.
TEST(CatalogueTables, NotNilptrMarksFollowEachClasssRule) {
    const std::set<std::string> markAll{
        "ByteArrayOutputStream", "GZipInputStream", "GZipOutputStream", "File", "ZipArchive", "ZipEntry",
        "ZipFile", "Process", "AsyncInput", "AsyncOutput", "UnsiInput", "UnsiOutput", "StreamSocket",
        "InetAddress", "DatagramSocket", "DatagramSocket.DatagramPacket"};
    // Marked parameters as "method.parameter" of the classes that mark some.
    const std::map<std::string, std::set<std::string>> markSome{
        {"Stream", {"read.buffer", "write.buffer"}},
        {"Library", {"loadLibrary.module"}},
        {"Timer", {"schedule.task"}},
        {"Math", {"parseInt.text", "parseLong.text", "parseFloat.text", "parseDouble.text"}},
        {"Base64", {"encodeToString.data", "decodeString.text"}},
        {"Map", {"find.key", "remove.iterator"}},
        {"Vector", {"toArray.array", "addAll.e"}},
    };
    const std::set<std::string> primitive{"bool", "byte", "char", "short", "int", "long", "float", "double"};
    for (const CatalogueClass* c : allClasses()) {
        std::string name = qualifiedName(*c);
        SCOPED_TRACE(name);
        const MemberText& text = catalogueMembers(*c);
        for (const MemberMethod& m : text.methods) {
            for (const MemberParameter& p : text.parametersOf(m)) {
                bool object = p.type.arrayDepth > 0 || p.type.placeholder >= 0 ||
                              !primitive.count(std::string(p.type.name));
                std::string where = std::string(m.name) + "." + std::string(p.name);
                if (markAll.count(name)) {
                    EXPECT_EQ(p.notNilptr, object) << where;
                } else if (name == "Crypto") {
                    EXPECT_EQ(p.notNilptr, p.type.arrayDepth > 0) << where;
                } else if (auto some = markSome.find(name); some != markSome.end()) {
                    EXPECT_EQ(p.notNilptr, some->second.count(where) > 0) << where;
                } else if (name == "HttpRequest") {
                    static const std::set<std::string> never{"alias", "path", "fieldType", "username",
                                                             "password"};
                    EXPECT_EQ(p.notNilptr, object && !never.count(std::string(p.name))) << where;
                } else if (name != "String" && name != "StringBuffer" && name.rfind("Json", 0) != 0 &&
                           name != "XmlObject" && name.rfind("Pattern", 0) != 0) {
                    // Every other class marks none.
                    EXPECT_FALSE(p.notNilptr) << where;
                }
            }
        }
    }
}

// "final" stands on Stream's typed methods and JsonNode.getType only (no
// field is read-only), "noobj" on XmlObject.value only, nothing is abstract.
TEST(CatalogueTables, FlagsStandWhereTheTablesPutThem) {
    std::vector<std::string> finals, noobj;
    for (const CatalogueClass* c : allClasses()) {
        for (const MemberField& f : catalogueMembers(*c).fields) EXPECT_FALSE(f.isFinal);
        for (const MemberMethod& m : catalogueMembers(*c).methods) {
            if (m.isFinal) finals.push_back(qualifiedName(*c) + "." + std::string(m.name));
            if (m.noObjectReturn) noobj.push_back(qualifiedName(*c) + "." + std::string(m.name));
            EXPECT_FALSE(m.isAbstract);
        }
    }
    ASSERT_EQ(finals.size(), 33u);
    EXPECT_EQ(finals[0], "JsonNode.getType");
    EXPECT_EQ(finals[1], "Stream.writeChar");
    EXPECT_EQ(finals[32], "Stream.readStringLE");
    EXPECT_EQ(noobj, std::vector<std::string>{"XmlObject.value"});
}

TEST(CatalogueTables, NoRegistrationIsRefused) {
    catalogue_test::SlotModel model({textCatalogue(), systemCatalogue(), networkCatalogue()});
    EXPECT_EQ(model.refused, std::vector<std::string>{});
}

}  // namespace
