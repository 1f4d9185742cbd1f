// A class's holder in the image heap: the entry "$class<n>@<name>" at the
// heap's index n, whose address the class record names (its operand 0).
#pragma once

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
    // It takes a creation serial, as the object it once was did: the
    // objects made after it keep their numbers, and with them the identities
    // a link library gives them.
    explicit ClassHolder(std::string_view text) : name(text) {
        opcode = kOpClassHolder;
        qestl::nextCreationSerial();
    }

    // The link name into `text`, emptied first.
    void writeLinkName(qestl::qestringA& text) const {
        text.clear();
        text.append("/");
        text.append(name);
    }

    qestl::qestringA name;
};

// Told apart by its opcode, as a class record is: the opcode lies in the
// line of a record that a walk over the heap loads first.
inline bool isClassHolder(const cbircode& record) { return record.opcode == kOpClassHolder; }

// The name of a container's member, a class holder or an object.
inline std::string_view memberName(const cbircode& record) {
    return isClassHolder(record) ? static_cast<const ClassHolder&>(record).name.view()
                                 : static_cast<const IRObject&>(record).name.view();
}
inline std::string_view memberName(const qestl::SmartPtr& member) { return memberName(*member.as<cbircode>()); }

}  // namespace model
