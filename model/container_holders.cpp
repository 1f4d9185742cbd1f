// Class holders in the image heap: appended without a place in the name
// index, and the one listed name that could be theirs told apart.
#include <charconv>

#include "model/container.h"
#include "model/ir_object.h"

namespace model {

void Container::appendClassHolder(const qestl::SmartPtr& holder) {
    listUnlisted();
    if (!listsHolderNames_) {
        noteWrite();
        members_.pushBack(holder);
        return;
    }
    // A listed name of the holder's form refuses it, as a holder refuses
    // that name: the heap goes without it.
    const qestl::HashedText name(holder.as<ClassHolder>()->name.view());
    if (indexesOf(name) == nullptr) append(name, holder);
}

bool Container::refusesHolderName(std::string_view name) {
    const std::string_view digits = name.substr(kHolderPrefix.size());
    uint64_t index = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
    if (error == std::errc() && end != digits.data() && index < members_.size()) {
        const cbircode* member = members_[index].as<cbircode>();
        if (member != nullptr && isClassHolder(*member) && static_cast<const ClassHolder*>(member)->name.view() == name)
            return true;
    }
    listsHolderNames_ = 1;
    return false;
}

Operand Container::findOrCreateBesideHolders(std::string_view name, const qestl::SmartPtr& member) {
    if (name.starts_with(kHolderPrefix) && refusesHolderName(name)) return Operand::error(kErrDuplicateName);
    return findOrCreate(name, member);
}

}  // namespace model
