#include "executable/pe_resources.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "executable/pe_resource_editor.h"
#include "foundation/byte_io.h"
#include "foundation/signed_digits.h"
#include "foundation/whole_file.h"
#include "source/search_paths.h"
#include "platform/system.h"

namespace {

using qestl::ByteReader;
using qestl::ByteVector;
using qestl::ByteWriter;

constexpr uint32_t kIconLanguage = 1024;

const char* const kManifestParts[] = {
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>",
    "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">",
    "<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">",
    "<security>",
    "<requestedPrivileges>",
    "<requestedExecutionLevel level=\"${uac}\" uiAccess=\"false\"></requestedExecutionLevel>",
    "</requestedPrivileges>",
    "</security>",
    "</trustInfo>",
    "</assembly>",
};

// Writes a block head (length patched later) and its key; returns where the
// block starts.
size_t openBlock(ByteWriter& w, uint16_t valueLength, uint16_t type, const char* key) {
    w.padTo(4);
    const size_t start = w.position();
    w.u16le(0);
    w.u16le(valueLength);
    w.u16le(type);
    for (const char* p = key; *p != 0; ++p) w.u16le(static_cast<uint8_t>(*p));
    w.u16le(0);
    w.padTo(4);
    return start;
}

// Closes a block; false when it outgrew its 16-bit length.
bool closeBlock(ByteWriter& w, size_t start) {
    const size_t length = w.position() - start;
    if (length > 0xFFFF) return false;
    ByteVector& bytes = w.bytes();
    qestl::storeU16LE(bytes.data() + start, static_cast<uint16_t>(length));
    return true;
}

// One String of the string table; its length follows the format's
// published arithmetic, padding included.
void appendVersionString(ByteWriter& w, const char* key, const char* value) {
    const qestl::qestringW units = qestl::widen(value);
    const size_t keyUnits = std::strlen(key) + 1;
    const size_t valueUnits = units.length();
    const size_t length =
        6 + 2 * (keyUnits + (keyUnits % 2 == 0 ? 1 : 0) + valueUnits + 2 + (valueUnits % 2 == 1 ? 1 : 0));
    const size_t start = w.position();
    w.u16le(static_cast<uint16_t>(length));
    w.u16le(static_cast<uint16_t>(valueUnits + 2));
    w.u16le(1);
    for (const char* p = key; *p != 0; ++p) w.u16le(static_cast<uint8_t>(*p));
    w.u16le(0);
    w.padTo(4);
    for (size_t i = 0; i < valueUnits; ++i) w.u16le(units[i]);
    w.zeros(start + length - w.position());
}

const char* stringMember(const JsonNode* document, const char* key) {
    if (document == nullptr) return nullptr;
    const JsonNode* member = jsonGetObjectItem(document, key);
    if (member == nullptr || jsonKind(member->value) != kJsonString) return nullptr;
    return member->value->string;
}

uint32_t versionWord(const uint16_t numbers[4], int high) {
    return (uint32_t{numbers[high]} << 16) | numbers[high + 1];
}

}  // namespace

int parseVersionNumbers(const char* text, uint16_t numbers[4]) {
    int count = 0;
    numbers[0] = numbers[1] = numbers[2] = numbers[3] = 0;
    const char* part = text;
    while (part != nullptr && count < 4) {
        qestl::DigitRules rules;
        rules.octalDigitsOnly = true;
        numbers[count++] = qestl::readSignedDigits(part, rules).as<uint16_t>();
        part = std::strchr(part, '.');
        if (part != nullptr) ++part;
    }
    return count;
}

bool buildManifestResource(PeResourceEditor& editor, uint32_t level) {
    if (level != 1 && level != 2) return false;
    std::string text;
    for (const char* part : kManifestParts) {
        if (!text.empty()) text += '\t';
        text += part;
    }
    const std::string placeholder = "${uac}";
    const std::string value = level == 1 ? "requireAdministrator" : "highestAvailable";
    for (size_t at = text.find(placeholder); at != std::string::npos; at = text.find(placeholder, at + value.size()))
        text.replace(at, placeholder.size(), value);
    return editor.add(24, nullptr, 1, nullptr, 0, reinterpret_cast<const uint8_t*>(text.data()),
                      static_cast<uint32_t>(text.size())) == 1;
}

bool addIconResources(PeResourceEditor& editor, const qestl::qestringW& iconPath) {
    qestl::qestringW path = iconPath;
    if (!platform::pathExists(qestl::narrow(path).c_str())) path = resolveIncludePath(iconPath);
    ByteVector file;
    if (!readWholeFile(path, file)) return false;
    ByteReader r(file.data(), file.size());
    const uint16_t reserved = r.u16le(), type = r.u16le(), count = r.u16le();
    if (!r.ok() || !r.fitsRemaining(count, 16)) return false;
    // The group: the file's head, then 14 bytes per image naming it by id.
    ByteVector group;
    ByteWriter g(group);
    g.u16le(reserved);
    g.u16le(type);
    g.u16le(count);
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* entry = file.data() + 6 + 16 * i;
        g.bytes(entry, 4);
        g.bytes(entry + 4, 4);  // planes and bit count
        g.bytes(entry + 8, 4);  // byte count
        g.u16le(static_cast<uint16_t>(i + 1));
        if (!r.holds(qestl::loadU32LE(entry + 12), qestl::loadU32LE(entry + 8))) return false;
    }
    group.resize(16 * uint64_t{count} + 20);
    if (editor.add(14, nullptr, 1, nullptr, kIconLanguage, group.data(), static_cast<uint32_t>(group.size())) != 1)
        return false;
    const qestl::qestringA shown = qestl::narrow(iconPath);
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* entry = file.data() + 6 + 16 * i;
        const uint32_t size = qestl::loadU32LE(entry + 8);
        const uint8_t* image = file.data() + qestl::loadU32LE(entry + 12);
        if (size < 4 || qestl::loadU32LE(image) != 40) {
            std::printf("兼容性提示:应用程序图标文件 %s 中的图像[ID:%d]不是标准ICO图像,可能无法显示.\n", shown.c_str(),
                        static_cast<int>(i + 1));
        }
        if (editor.add(3, nullptr, i + 1, nullptr, kIconLanguage, image, size) != 1) return false;
    }
    return true;
}

ByteVector buildVersionResource(const JsonNode* document) {
    ByteVector block;
    ByteWriter w(block);
    const size_t root = openBlock(w, 52, 0, "VS_VERSION_INFO");
    uint16_t file[4], product[4];
    const char* fileText = stringMember(document, "FileVersion");
    const char* productText = stringMember(document, "ProductVersion");
    parseVersionNumbers(fileText != nullptr ? fileText : "", file);
    parseVersionNumbers(productText != nullptr ? productText : "", product);
    const uint32_t fixed[13] = {0xFEEF04BDu, 0, versionWord(file, 0), versionWord(file, 2), versionWord(product, 0),
                                versionWord(product, 2), 0x3F, 0, 0x40004, 1, 0, 0, 0};
    for (uint32_t word : fixed) w.u32le(word);

    const size_t strings = openBlock(w, 0, 1, "StringFileInfo");
    const size_t table = openBlock(w, 0, 1, "040004b0");
    static const char* const kKeys[] = {"FileDescription", "LegalCopyright", "ProductName", "FileVersion",
                                        "ProductVersion",  "CompanyName",    "InternalName"};
    // The variable part so far: the Translation block still follows it.
    constexpr size_t kTranslationBytes = 68;
    for (const char* key : kKeys) {
        const char* value = stringMember(document, key);
        if (value == nullptr) continue;
        const size_t before = w.position();
        appendVersionString(w, key, value);
        // A String that would push an enclosing block past 16 bits is left out.
        if (w.position() - root + kTranslationBytes > 0xFFFF) block.resize(before);
    }
    closeBlock(w, table);
    closeBlock(w, strings);
    const size_t variables = openBlock(w, 0, 1, "VarFileInfo");
    const size_t translation = openBlock(w, 4, 0, "Translation");
    w.u32le(0x04B00400u);
    closeBlock(w, translation);
    closeBlock(w, variables);
    closeBlock(w, root);
    return block;
}
