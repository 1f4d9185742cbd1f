// The operator methods a built-in value class or String was found to
// declare or not.
//
// Every operator on a value asks the value's class whether it declares a
// method named like the operator. For a built-in value class (int, long,
// bool, ...) the answer is no, and finding it out costs a lookup in each of
// the class's tables: on arithmetic-heavy bodies that was the one largest
// step of an operator's compilation (bench/varied_program.py, some three
// operators a line). String declares "+", and finding that out bound the
// method as a candidate, dropped again, at every operand of a string sum (the
// same program's long string sums). An answer is kept per class and operator
// text, for as long as the class's tables hold as many members as when it was
// given: no code of the program lies inside a built-in class, so what one
// offers is seen alike from everywhere, and the tables noted a failure at the
// first question, as every later one found.
//
// The same holds for the methods such a class binds for an operator reached
// through a value (the left operand of every String `+`): when its method
// table alone lists the operator, that table binds them again without the
// class's other tables being asked (bench/varied_program.py, whose long
// string sums ask String for "+" at every operand). The near misses those
// tables would note go unread: a member access that finds members clears
// them with its results.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

class CompileContext;
namespace model {
class IRObject;
class ModelContext;
}  // namespace model
namespace qestl {
struct HashedText;
}  // namespace qestl

class OperatorProbeCache {
public:
    // The class's member count, when its no may be kept; kNotKept else.
    static constexpr size_t kNotKept = SIZE_MAX;
    static size_t stampOf(const model::ModelContext& context, model::IRObject* klass);
    // The same, asked at every operator: a class once found keepable is
    // remembered (the built-in value classes live as long as the
    // compilation, and where they lie never changes), so that only the
    // member count is read again.
    size_t stampFor(const model::ModelContext& context, model::IRObject* klass);

    // A plain variable's own members are intrinsic ones (a lock's wait, a
    // Class value's getName), all named like identifiers; an operator is
    // spelt in signs, so such a variable has none to offer and is not asked
    // (varied code: some three operators a line, nearly all on plain
    // variables).
    static bool mayOfferOwnMember(const model::IRObject& object, std::string_view name);

    enum Answer : uint8_t { kUnknown, kAbsent, kPresent };
    Answer known(const model::IRObject* klass, std::string_view name, size_t stamp) const;
    void note(const model::IRObject* klass, std::string_view name, size_t stamp, Answer answer);

    // The class's lookup of an operator with `flags`, made again as
    // keepMembers found it: the methods listed under the name, bound by its
    // method table. False, nothing made, when nothing is kept for it or
    // nothing is bound.
    bool replayMembers(CompileContext& context, model::IRObject* klass, const qestl::HashedText& name, uint32_t flags);
    // Notes the lookup just made (the context's candidates, nothing else
    // asked since they were cleared) when only the class's method table
    // lists the name and every method it lists was bound.
    void keepMembers(CompileContext& context, model::IRObject* klass, const qestl::HashedText& name, uint32_t flags);

private:
    // An operator's text, at most eight bytes, packed in a word (0: longer,
    // not kept).
    static uint64_t keyOf(std::string_view name);
    struct Entry {
        const model::IRObject* klass;
        uint64_t name;
        size_t stamp;
        Answer answer;
        // 1 + the index of its kept members in kept_; 0: none.
        uint32_t kept = 0;
    };
    struct KeptMembers {
        size_t stamp;
        uint32_t flags;
    };
    Entry* findOrAdd(const model::IRObject* klass, uint64_t name);
    // A program asks a few classes about a few operators; each operator
    // asks, so the entry is found by its slot rather than by a search. The
    // slot depends on where the class lies, which decides nothing but the
    // time taken.
    size_t slotOf(const model::IRObject* klass, uint64_t name) const;
    const Entry* find(const model::IRObject* klass, uint64_t name) const;
    void place(size_t index);
    static size_t memberCount(const model::IRObject* klass);
    std::vector<const model::IRObject*> keptClasses_;
    std::vector<Entry> entries_;
    std::vector<uint32_t> slots_;  // 1 + the entry's index; 0: free
    std::vector<KeptMembers> kept_;
};
