// A class's holder in the image heap: the entry "$class<n>@<name>" at the
// heap's index n, whose address the class record names (its operand 0).
#pragma once

#include <new>
#include <string_view>

#include "foundation/creation_serials.h"
#include "foundation/qestring.h"
#include "model/ir_object.h"
#include "model/opcodes.h"

namespace model {

// A name and an address, and nothing of an IRObject: a holder has no type,
// owner, flags or declaration, nothing looks it up, and its link name is
// its name behind a "/". Every class of a program has one, and a program of
// a million one-method classes kept a whole object of 224 bytes for each
// (bench/hostile_shapes.py one_method_classes). Reading the heap's members,
// a holder is told apart by isClassHolder; its image entry is tagged
// kKindClassHolder.
class ClassHolder final : public cbircode {
public:
    // Made with its name behind it, in one block of object memory: a name
    // held apart took a block of the C heap and a string's four words.
    static qestl::SmartPtr make(std::string_view name);
    // Frees the block with the name it was made with.
    static void operator delete(ClassHolder* holder, std::destroying_delete_t);

    std::string_view name() const { return {reinterpret_cast<const char*>(this + 1), length_}; }
    // The link name into `text`, emptied first.
    void writeLinkName(qestl::qestringA& text) const {
        text.clear();
        text.append("/");
        text.append(name());
    }

private:
    // It takes a creation serial, as the object it once was did: the
    // objects made after it keep their numbers, and with them the identities
    // a link library gives them.
    explicit ClassHolder(uint32_t length) : length_(length) {
        opcode = kOpClassHolder;
        qestl::nextCreationSerial();
    }

    uint32_t length_;
};

// Told apart by its opcode, as a class record is: the opcode lies in the
// line of a record that a walk over the heap loads first.
inline bool isClassHolder(const cbircode& record) { return record.opcode == kOpClassHolder; }

// The name of a container's member, a class holder or an object.
inline std::string_view memberName(const cbircode& record) {
    return isClassHolder(record) ? static_cast<const ClassHolder&>(record).name()
                                 : static_cast<const IRObject&>(record).name.view();
}
inline std::string_view memberName(const qestl::SmartPtr& member) { return memberName(*member.as<cbircode>()); }

}  // namespace model
