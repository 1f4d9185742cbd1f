#include "builtins/catalogue_class.h"

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
    return memberTextOnce(label.c_str(), entry.members != nullptr ? entry.members : kEmpty, entry.placeholders);
}
