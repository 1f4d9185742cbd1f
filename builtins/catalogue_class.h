// One class of the runtime-library catalogue as data: what the registry needs
// to create it, give it its base and owner, declare its members and register
// it. The catalogue folders hold one array of these per subsystem; the
// builtins never include them, the driver hands them over.
#pragma once

#include <cstdint>
#include <span>

#include "builtins/member_text.h"

enum class CatalogueKind : uint8_t { Class, Interface, Template };

// Where the class's members are declared.
enum class CatalogueStep : uint8_t {
    BuiltinTypes,  // by the built-in types step, before the exceptions (String)
    ThirdPhase,    // in the registry's third phase, at its row
    Late,          // by a late step after the third phase, at its row
    Registry,      // the registry declares the one method itself (TimerTask)
    Instance,      // a template: each instance's builder declares them
};

struct CatalogueClass {
    int32_t builtinId = 0;
    const char* name = nullptr;   // the class's own name ("Result" for Pattern.Result)
    const char* owner = nullptr;  // the enclosing class for a nested class
    const char* base = nullptr;   // the base class, set with flags 64 before the members
    CatalogueKind kind = CatalogueKind::Class;
    CatalogueStep step = CatalogueStep::ThirdPhase;
    uint8_t created = 0;  // position in the registry's creation phase, 1 to 61; 0: made elsewhere
    uint8_t row = 0;      // registration row, 1 to 61; 0: registered elsewhere
    // A template's parameter names in order ("Element", "Key Value").
    const char* typeParameters = nullptr;
    // The names the member text binds per instance: the type parameters and
    // the iterator instance of the same arguments ("Element Iterator").
    const char* placeholders = nullptr;
    // Fields, constants, then methods in declaration order; the order of the
    // methods is their runtime slot order.
    const char* members = nullptr;
};

// Types in member texts name catalogue classes this way: a nested class as
// "Owner.Name", any other by its name.
bool catalogueNameIs(const CatalogueClass& entry, std::string_view qualified);

// The member text of `entry` (see builtinMemberText).
const MemberText& catalogueMembers(const CatalogueClass& entry);

// A member text of the built-in catalogue read when the compiler was built:
// the class's qualified name or the core text's label, the size and the
// placeholders of the text it was read from, and the tables.
struct PrebuiltMemberText {
    std::string_view label;
    uint32_t textSize;
    const char* placeholders;  // null for none
    const MemberText* text;
};
// The generated tables, sorted by label.
std::span<const PrebuiltMemberText> prebuiltMemberTexts();

// The member text of a built-in class: its generated table when one was
// built from this same text (label, size and placeholders agree), otherwise
// the text read once as memberTextOnce does.
const MemberText& builtinMemberText(const char* label, const char* text, const char* placeholders);

// The member text of a core built-in (core_texts.h), by its text.
const MemberText& coreMembers(const char* text);
