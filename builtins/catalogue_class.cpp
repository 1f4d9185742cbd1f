#include "builtins/catalogue_class.h"

#include "builtins/core_texts.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

bool catalogueNameIs(const CatalogueClass& entry, std::string_view qualified) {
    std::string_view name = entry.name;
    if (entry.owner == nullptr) return qualified == name;
    std::string_view owner = entry.owner;
    return qualified.size() == owner.size() + 1 + name.size() && qualified.starts_with(owner) &&
           qualified[owner.size()] == '.' && qualified.ends_with(name);
}

const MemberText& catalogueMembers(const CatalogueClass& entry) {
    static const char kEmpty[] = "";
    std::string label = entry.owner != nullptr ? std::string(entry.owner) + "." + entry.name : entry.name;
    return builtinMemberText(label.c_str(), entry.members != nullptr ? entry.members : kEmpty, entry.placeholders);
}

const MemberText& builtinMemberText(const char* label, const char* text, const char* placeholders) {
    const std::span<const PrebuiltMemberText> tables = prebuiltMemberTexts();
    const std::string_view key = label;
    auto found = std::lower_bound(tables.begin(), tables.end(), key,
                                  [](const PrebuiltMemberText& t, std::string_view k) { return t.label < k; });
    // The size and placeholders guard against a text of the same label that
    // is not the one the tables were built from (a test's own catalogue).
    if (found != tables.end() && found->label == key && text != nullptr && found->textSize == std::strlen(text) &&
        std::string_view(found->placeholders != nullptr ? found->placeholders : "") ==
            std::string_view(placeholders != nullptr ? placeholders : ""))
        return *found->text;
    return memberTextOnce(label, text, placeholders);
}

const MemberText& coreMembers(const char* text) {
    for (const builtins::CoreMemberText& core : builtins::coreMemberTexts())
        if (core.text == text) return builtinMemberText(core.label, core.text, core.placeholders);
    return memberTextOnce("core text", text, nullptr);
}
