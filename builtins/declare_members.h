// The one engine that declares a built-in class's members from its member
// text: the text is read once per process, its type names are resolved for
// each compilation through the names of that compilation's built-ins.
#pragma once

#include <cstdint>
#include <algorithm>
#include <array>
#include <functional>
#include <unordered_map>
#include <utility>
#include <vector>
#include <span>
#include <string>
#include <string_view>

#include "builtins/member_text.h"
#include "foundation/smart_ptr.h"
#include "model/class_object.h"
#include "model/kept_objects.h"
#include "model/model_context.h"

namespace builtins {

// The built-in classes of one compilation by the names member texts use:
// "int", "Object" (the root class "*"), "Pattern.Result".
class BuiltinNames {
public:
    void add(std::string_view name, const qestl::SmartPtr& type) {
        byName_[std::string(name)] = type;
        numbered_.clear();
    }
    // Empty when the name is unknown.
    qestl::SmartPtr find(std::string_view name) const;
    void clear() {
        byName_.clear();
        numbered_.clear();
        recent_.fill(nullptr);
        parameters_.clear();
        parametersHeld_ = 0;
        byNumber_.clear();
    }
    // A method's parameter: a new object, or while the registry declares
    // the catalogue (`shareParameters(true)`), the one object made for that
    // name, type and nilptr mark, shared by every method that declares it
    // (about a thousand parameters are some three hundred kinds). Only the
    // registry shares: its methods live as long as the built-ins.
    // `number`: the parameter's number in the generated tables (0: none),
    // by which one found is found again without hashing.
    template <typename Make>
    qestl::SmartPtr parameter(std::string_view name, const qestl::SmartPtr& type, bool notNilptr, Make make,
                              uint16_t number = 0) const {
        if (!sharing_) return make();
        if (number != 0 && number < byNumber_.size() && byNumber_[number]) {
            model::restartSerialsAt(model::serialMark() + 1);
            return byNumber_[number];
        }
        qestl::SmartPtr& shared = sharedParameter(name, type.get(), notNilptr);
        // A parameter shared still takes the serial of the one it stands
        // for: a link library names objects by serial.
        if (shared) model::restartSerialsAt(model::serialMark() + 1);
        else shared = make();
        if (number != 0) {
            if (number >= byNumber_.size()) byNumber_.resize(std::max<size_t>(number + 1, 2 * byNumber_.size()));
            byNumber_[number] = shared;
        }
        return shared;
    }
    void shareParameters(bool on) {
        sharing_ = on;
        parameters_.clear();
        parametersHeld_ = 0;
        byNumber_.clear();
    }
    // While on, the methods of a text declared into empty method tables are
    // entered in the tables' name indexes only when a table is first looked
    // into (the registry of a compilation that lends its built-ins to no
    // other).
    void listNamesWhenAsked(bool on) { listWhenAsked_ = on; }
    bool listsNamesWhenAsked() const { return listWhenAsked_; }
    // In name order.
    template <typename Visit>
    void forEach(Visit visit) const {
        std::vector<const std::pair<const std::string, qestl::SmartPtr>*> sorted;
        for (const auto& entry : byName_) sorted.push_back(&entry);
        std::sort(sorted.begin(), sorted.end(), [](auto* a, auto* b) { return a->first < b->first; });
        for (const auto* entry : sorted) visit(entry->second);
    }

private:
    // Hashed: every type of every member text is looked up here, some
    // thousands of times per compilation.
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
    };
    std::unordered_map<std::string, qestl::SmartPtr, Hash, std::equal_to<>> byName_;
    // The entries last found, placed by the address of the text asked with:
    // the generated tables ask for "int" or "String" through one literal
    // hundreds of times. The address only picks the place (a hit is checked
    // against the name); entries stay where they are until clear.
    mutable std::array<const std::pair<const std::string, qestl::SmartPtr>*, 64> recent_{};

    // The name is a view into a member text, which lives as long as the
    // process.
    struct SharedParameter {
        std::string_view name;
        const void* type = nullptr;
        bool notNilptr = false;
        qestl::SmartPtr object;  // empty: a free place
    };
    // The place of a name, type and mark: open addressing over a table kept
    // at most three quarters full (the catalogue's some three hundred
    // parameters in 512 places: half full, they took ten pages). Every
    // parameter of the catalogue's thousand methods is looked up here at
    // each start, where a node map spent a tenth of filling the method
    // records hashing and chasing nodes.
    qestl::SmartPtr& sharedParameter(std::string_view name, const void* type, bool notNilptr) const;
    mutable std::vector<SharedParameter> parameters_;
    mutable std::vector<qestl::SmartPtr> byNumber_;
    mutable size_t parametersHeld_ = 0;
    bool sharing_ = false;
    bool listWhenAsked_ = false;

public:
    // The type a generated table's type number stands for, resolved once per
    // compilation (empty until then).
    qestl::SmartPtr& numberedType(uint16_t number) const {
        if (number >= numbered_.size()) numbered_.resize(std::max<size_t>(number + 1, 2 * numbered_.size()));
        return numbered_[number];
    }

private:
    mutable std::vector<qestl::SmartPtr> numbered_;
};

// Resolves one type of a text: a placeholder from `bound`, a name from
// `names`, then one array class per "[]". A name nobody knows is a broken
// table: the class and the name are printed and the process aborts.
qestl::SmartPtr resolveNamedMemberType(model::ModelContext& context, const BuiltinNames& names,
                                       std::span<const qestl::SmartPtr> bound, const MemberType& type);
// Some two thousand types of the generated tables are a few hundred names
// and depths: each is looked up, and its array classes asked for, once per
// compilation.
inline qestl::SmartPtr resolveMemberType(model::ModelContext& context, const BuiltinNames& names,
                                         std::span<const qestl::SmartPtr> bound, const MemberType& type) {
    if (type.number == 0 || type.placeholder >= 0) return resolveNamedMemberType(context, names, bound, type);
    qestl::SmartPtr& known = names.numberedType(type.number);
    if (!known) known = resolveNamedMemberType(context, names, bound, type);
    return known;
}

// Declares every field, constant and method of `text` on `owner` in text
// order (fields, constants, methods: the slot order of each table).
void declareMembers(model::ClassObject& owner, model::ModelContext& context, const MemberText& text,
                    const BuiltinNames& names, std::span<const qestl::SmartPtr> bound = {});

// Fills a method record from one method of a text.
void fillMethodRecord(model::BuiltinMethodDecl& record, model::ModelContext& context, const MemberText& text,
                      const MemberMethod& method, const BuiltinNames& names, std::span<const qestl::SmartPtr> bound);

// Typed constants: a static final member of type char, int or double whose
// value operand has kind and data type 2, 4 or 7.
void declareCharConstant(model::ModelContext& context, model::ClassObject& owner, const qestl::qestringA& name,
                         uint16_t value);
void declareIntConstant(model::ModelContext& context, model::ClassObject& owner, const qestl::qestringA& name,
                        int32_t value);
void declareDoubleConstant(model::ModelContext& context, model::ClassObject& owner, const qestl::qestringA& name,
                           double value);

}  // namespace builtins
