// The ids of the korvo grammar rules: the numbers under which each rule
// reports its matches to the parse listener, and the only vocabulary shared
// by the grammar and the node builders. They share one number space with the
// token kinds (14 to 94). The list itself is syntax/rule_ids.def.
#pragma once

#include <cstdint>

struct RuleId {
    enum : uint32_t {
#define KORVO_RULE(name, id) name = id,
#include "syntax/rule_ids.def"
#undef KORVO_RULE
        First = AssignmentOperator,
        Last = CompilationUnit,
        Entry = CompilationUnit,
    };
};

static_assert(RuleId::First == 95 && RuleId::Last == 215 && RuleId::Last - RuleId::First + 1 == 121);

// The id and the name of a rule as a grammar row starts: {KORVO_RULE_ROW(Name), ...}.
#define KORVO_RULE_ROW(name) RuleId::name, #name
