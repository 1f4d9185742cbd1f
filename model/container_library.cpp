// The library form of a container: kind, owner, member count, members.
#include <cinttypes>

#include "model/container.h"
#include "model/library_io.h"

namespace model {

qestl::SmartPtr ContainerOwners::of(const Container& container) const {
    const auto found = owners_.find(&container);
    return found != owners_.end() ? found->second : qestl::SmartPtr();
}

void ContainerOwners::set(const Container& container, const qestl::SmartPtr& owner) {
    if (owner) owners_[&container] = owner;
    else owners_.erase(&container);
}

qestl::SmartPtr Container::recordedOwner(const ContainerOwners& aside) const {
    if (shape_ == kFrameShape) return static_cast<const StackFrame*>(this)->owner;
    return ownerAside_ != 0 ? aside.of(*this) : qestl::SmartPtr();
}

void Container::setRecordedOwner(ContainerOwners& aside, const qestl::SmartPtr& owner) {
    if (shape_ == kFrameShape) {
        static_cast<StackFrame*>(this)->owner = owner;
        return;
    }
    aside.set(*this, owner);
    ownerAside_ = owner ? 1 : 0;
}

void Container::dropOwner() {
    if (shape_ == kFrameShape) static_cast<StackFrame*>(this)->owner.reset();
    ownerAside_ = 0;
}

bool Container::writeToLibrary(LibraryWriter& w) {
    w.out.u32le(kind_);
    if (!w.writeObjectRef(recordedOwner(w.owners()))) return false;
    w.out.u32le(static_cast<uint32_t>(members_.size()));
    // Of the heap only the classes are written (no class holder among them).
    auto isClass = [](const qestl::SmartPtr& member) {
        return !isClassHolder(*member.as<cbircode>()) && asObject(member)->kind == kKindClass;
    };
    for (const qestl::SmartPtr& member : members_) {
        const bool written = kind_ == kImageHeap && !isClass(member) ? w.writeNothingRef() : w.writeObjectRef(member);
        if (!written) return false;
    }
    return true;
}

bool Container::readFromLibrary(LibraryReader& r) {
    kind_ = r.in.u32le();
    if (!r.in.ok()) return false;
    qestl::SmartPtr owner = recordedOwner(r.owners());
    const bool ownerRead = r.readObjectRef(owner);
    setRecordedOwner(r.owners(), owner);
    if (!ownerRead) return false;
    const uint32_t count = r.in.u32le();
    // Every reference takes at least a byte: a count the bytes left cannot
    // hold is refused before it sizes anything.
    if (!r.in.ok() || !r.in.fitsRemaining(count, 1)) return false;
    for (uint32_t i = 0; i < count; ++i) {
        qestl::SmartPtr member;
        if (!r.readObjectRef(member)) return false;
        if (!member) {
            if (kind_ == kImageHeap) continue;
            // A stand-in keeps the indexes of the members after it right.
            auto* standIn = new IRObject();
            member = adoptLive(standIn);
            standIn->name = qestl::qestringA::format("$%" PRIx64, standIn->serial());
        }
        const auto index = static_cast<uint32_t>(members_.size());
        IRObject* object = asObject(member);
        enter(object->name.view(), index);
        members_.pushBack(member);
        // A member reached through a slot keeps the slot of its index, as
        // when its class was compiled here: overloads stay apart. (Members
        // reached by reference are referred to when they are used.)
        if (kind_ == kDynamicMethods || kind_ == kDynamicProperties || kind_ == kAnonymousProperties) {
            const MemberSlot slot = slotFor(object, index);
            if (slot.toItself == 0) {
                // The member may be a lent built-in (a library names them):
                // keepSlot writes it only if its slot changes.
                object->keepSlot(slot);
            }
        }
    }
    return true;
}

}  // namespace model
