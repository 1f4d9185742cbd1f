// Class holders in the image heap: made, appended without a place in the
// name index, and the one listed name that could be theirs told apart.
#include <charconv>
#include <cstring>

#include "foundation/object_heap.h"
#include "model/class_holder.h"
#include "model/container.h"
#include "model/ir_object.h"

namespace model {

qestl::SmartPtr ClassHolder::make(std::string_view name) {
    void* block = qestl::allocateObjectMemory(sizeof(ClassHolder) + name.size());
    auto* holder = new (block) ClassHolder(static_cast<uint32_t>(name.size()));
    std::memcpy(static_cast<char*>(block) + sizeof(ClassHolder), name.data(), name.size());
    return adoptLive(holder);
}

void ClassHolder::operator delete(ClassHolder* holder, std::destroying_delete_t) {
    const size_t bytes = sizeof(ClassHolder) + holder->length_;
    holder->~ClassHolder();
    qestl::freeObjectMemory(holder, bytes);
}

void Container::appendClassHolder(const qestl::SmartPtr& holder) {
    listUnlisted();
    if (!listsHolderNames_) {
        noteWrite();
        members_.pushBack(holder);
        return;
    }
    // A listed name of the holder's form refuses it, as a holder refuses
    // that name: the heap goes without it.
    const qestl::HashedText name(holder.as<ClassHolder>()->name());
    if (indexesOf(name) == nullptr) append(name, holder);
}

bool Container::refusesHolderName(std::string_view name) {
    const std::string_view digits = name.substr(kHolderPrefix.size());
    uint64_t index = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
    if (error == std::errc() && end != digits.data() && index < members_.size()) {
        const cbircode* member = members_[index].as<cbircode>();
        if (member != nullptr && isClassHolder(*member) && static_cast<const ClassHolder*>(member)->name() == name)
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
