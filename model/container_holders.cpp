// Class holders in the image heap: appended without a place in the name
// index, and the one listed name that could be theirs told apart.
#include <charconv>

#include "model/container.h"
#include "model/ir_object.h"

namespace model {

Operand Container::appendClassHolder(std::string_view name, const qestl::SmartPtr& holder) {
    return listsHolderNames_ ? findOrCreate(name, holder) : appendUnlisted(holder);
}

bool Container::refusesHolderName(std::string_view name) {
    const std::string_view digits = name.substr(kHolderPrefix.size());
    uint64_t index = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
    if (error == std::errc() && end != digits.data() && index < members_.size()) {
        const IRObject* member = asObject(members_[index]);
        if (member != nullptr && member->kind == kKindClassHolder && member->name.view() == name) return true;
    }
    listsHolderNames_ = 1;
    return false;
}

Operand Container::findOrCreateBesideHolders(std::string_view name, const qestl::SmartPtr& member) {
    if (name.starts_with(kHolderPrefix) && refusesHolderName(name)) return Operand::error(kErrDuplicateName);
    return findOrCreate(name, member);
}

}  // namespace model
