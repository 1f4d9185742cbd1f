#include "builtins/catalogue_class.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string_view>

bool catalogueNameIs(const CatalogueClass& entry, std::string_view qualified) {
    std::string_view name = entry.name;
    if (entry.owner == nullptr) return qualified == name;
    std::string_view owner = entry.owner;
    return qualified.size() == owner.size() + 1 + name.size() && qualified.starts_with(owner) &&
           qualified[owner.size()] == '.' && qualified.ends_with(name);
}

const MemberText& catalogueMembers(const CatalogueClass& entry) {
    // Keyed by the entry's address only to find it again; nothing is ordered
    // or named by it.
    static std::map<const CatalogueClass*, std::unique_ptr<MemberText>> parsed;
    auto found = parsed.find(&entry);
    if (found != parsed.end()) return *found->second;

    auto text = std::make_unique<MemberText>();
    std::vector<std::string_view> placeholders =
        entry.placeholders != nullptr ? splitNames(entry.placeholders) : std::vector<std::string_view>{};
    MemberTextError error;
    if (!parseMemberText(entry.members != nullptr ? entry.members : "", placeholders, *text, error)) {
        std::fprintf(stderr, "member text of %s%s%s: %s\n", entry.owner != nullptr ? entry.owner : "",
                     entry.owner != nullptr ? "." : "", entry.name, error.message.c_str());
        std::abort();
    }
    return *parsed.emplace(&entry, std::move(text)).first->second;
}
