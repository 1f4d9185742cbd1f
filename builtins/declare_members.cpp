#include "builtins/declare_members.h"

#include <bit>
#include <cstdio>
#include <cstdlib>

#include "model/builtin_types.h"
#include "model/ir_object.h"

namespace builtins {

using model::asObject;
using model::ClassObject;
using model::ModelContext;

namespace {

// A name of the text as a string; a generated table's is read in place.
qestl::qestringA nameOf(const MemberText& text, std::string_view name) {
    return text.staticNames ? qestl::qestringA::ofStaticText(name.data(), name.size()) : qestl::qestringA(name);
}

}  // namespace

qestl::SmartPtr BuiltinNames::find(std::string_view name) const {
    const uint64_t address = reinterpret_cast<uintptr_t>(name.data());
    const auto*& recent = recent_[(address * 0x9E3779B97F4A7C15ull) >> 58];
    if (recent != nullptr && recent->first == name) return recent->second;
    auto found = byName_.find(name);
    if (found == byName_.end()) return qestl::SmartPtr();
    recent = &*found;
    return found->second;
}

qestl::SmartPtr& BuiltinNames::sharedParameter(std::string_view name, const void* type, bool notNilptr) const {
    if (4 * (parametersHeld_ + 1) > 3 * parameters_.size()) {
        std::vector<SharedParameter> held(std::max<size_t>(512, 2 * parameters_.size()));
        held.swap(parameters_);
        parametersHeld_ = 0;
        for (SharedParameter& entry : held)
            if (entry.object) sharedParameter(entry.name, entry.type, entry.notNilptr) = std::move(entry.object);
    }
    // Parameter names are short: their bytes, length and first and last
    // letters mixed with the type's address pick the place.
    uint64_t hash = name.size() * 0x100000001B3ull ^ reinterpret_cast<uintptr_t>(type) ^ (notNilptr ? 0x5bd1e995u : 0);
    for (char c : name) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001B3ull;
    hash *= 0x9E3779B97F4A7C15ull;
    const size_t mask = parameters_.size() - 1;
    for (size_t at = static_cast<size_t>(hash >> 32) & mask;; at = (at + 1) & mask) {
        SharedParameter& entry = parameters_[at];
        if (!entry.object) {
            entry.name = name;
            entry.type = type;
            entry.notNilptr = notNilptr;
            ++parametersHeld_;
            return entry.object;
        }
        if (entry.type == type && entry.notNilptr == notNilptr && entry.name == name) return entry.object;
    }
}

qestl::SmartPtr resolveNamedMemberType(ModelContext& context, const BuiltinNames& names,
                                       std::span<const qestl::SmartPtr> bound, const MemberType& type) {
    qestl::SmartPtr resolved;
    if (type.placeholder >= 0 && static_cast<size_t>(type.placeholder) < bound.size())
        resolved = bound[static_cast<size_t>(type.placeholder)];
    else
        resolved = names.find(type.name);
    if (!resolved) {
        std::fprintf(stderr, "built-in member text names an unknown type: %.*s\n", static_cast<int>(type.name.size()),
                     type.name.data());
        std::abort();
    }
    for (uint8_t i = 0; i < type.arrayDepth; ++i) resolved = context.arrayTypeOf(resolved);
    return resolved;
}

void fillMethodRecord(model::BuiltinMethodDecl& record, ModelContext& context, const MemberText& text,
                      const MemberMethod& method, const BuiltinNames& names, std::span<const qestl::SmartPtr> bound) {
    // The record is reused from method to method: cleared in place, its
    // buffers kept.
    record.name = nameOf(text, method.name);
    record.returnType = method.hasResult ? resolveMemberType(context, names, bound, method.result) : qestl::SmartPtr();
    record.parameters.clear();
    record.thrown.clear();
    for (const MemberParameter& parameter : text.parametersOf(method)) {
        const qestl::SmartPtr type = resolveMemberType(context, names, bound, parameter.type);
        record.parameters.push_back(names.parameter(
            parameter.name, type, parameter.notNilptr,
            [&] {
                if (parameter.linkName.empty() || !bound.empty())
                    return model::makeNamedObject(nameOf(text, parameter.name), model::kKindVariable, type,
                                                  parameter.notNilptr ? 1 : 0);
                // As makeNamedObject makes it, with the link name of the table.
                auto* made = new model::IRObject(std::string_view(), model::kKindVariable, type,
                                                 parameter.notNilptr ? 1 : 0);
                qestl::SmartPtr held = model::adoptLive(made);
                made->name = nameOf(text, parameter.name);
                model::takeKnownLinkName(*made, parameter.linkName);
                return held;
            },
            bound.empty() ? parameter.number : uint16_t{0}));
    }
    for (std::string_view thrown : text.thrownOf(method))
        model::insertThrownClass(record.thrown, resolveMemberType(context, names, bound, MemberType{thrown}));
    record.nativeBody = !method.isAbstract;
    record.isStatic = method.isStatic;
    record.nonVirtual = method.isFinal;
    record.noObjectReturn = method.noObjectReturn;
    record.linkName = {};
    record.newInTable = false;
    record.unlistedUntilAsked = false;
    record.unlistedLinkName = false;
}

namespace {

void declareConstant(ModelContext& context, ClassObject& owner, const qestl::qestringA& name,
                     const qestl::SmartPtr& type, uint32_t kind, uint64_t bits, std::string_view linkName = {},
                     bool fresh = false, bool unlisted = false) {
    // Made without a link name: the class builds it when it takes the
    // member, owner included.
    qestl::SmartPtr member = model::adoptLive(new model::IRObject(std::string_view(), model::kKindVariable, type, 0));
    asObject(member)->name = name;
    asObject(member)->setConstantValue(model::makeImmediate(static_cast<int64_t>(bits), kind), true);
    owner.addStaticMember(context, member, linkName, fresh, unlisted);
}

}  // namespace

void declareCharConstant(ModelContext& context, ClassObject& owner, const qestl::qestringA& name, uint16_t value) {
    declareConstant(context, owner, name, context.builtins().charType, model::kTypeChar, value);
}

void declareIntConstant(ModelContext& context, ClassObject& owner, const qestl::qestringA& name, int32_t value) {
    declareConstant(context, owner, name, context.builtins().intType, model::kTypeInt,
                    static_cast<uint64_t>(static_cast<int64_t>(value)));
}

void declareDoubleConstant(ModelContext& context, ClassObject& owner, const qestl::qestringA& name, double value) {
    declareConstant(context, owner, name, context.builtins().doubleType, model::kTypeDouble,
                    std::bit_cast<uint64_t>(value));
}

void declareMembers(ClassObject& owner, ModelContext& context, const MemberText& text, const BuiltinNames& names,
                    std::span<const qestl::SmartPtr> bound) {
    // The tables are sized once for the text rather than grown name by name.
    size_t statics = 0;
    for (const MemberMethod& method : text.methods) statics += method.isStatic ? 1 : 0;
    if (!text.fields.empty()) owner.dynamicProperties.reserveNames(text.fields.size());
    // Constants of a text that names no two alike, declared into an empty
    // static property table, are each new there.
    const bool freshConstants = text.distinctMethods && bound.empty() &&
                                (owner.staticPropertiesIfMade() == nullptr ||
                                 owner.staticPropertiesIfMade()->members().empty());
    const bool unlistedConstants = freshConstants && names.listsNamesWhenAsked();
    if (!unlistedConstants && !text.constants.empty()) owner.staticProperties().reserveNames(text.constants.size());
    // Methods of a text that names no two alike, declared into empty tables
    // of a class bound to nothing, are each new there.
    const bool fresh = text.distinctMethods && bound.empty() &&
                       (owner.staticMethodsIfMade() == nullptr || owner.staticMethodsIfMade()->members().empty()) &&
                       owner.dynamicMethods.members().empty();
    const bool unlisted = fresh && names.listsNamesWhenAsked();
    if (!unlisted && statics != 0) owner.staticMethods().reserveNames(statics);
    if (!unlisted && statics != text.methods.size()) owner.dynamicMethods.reserveNames(text.methods.size() - statics);
    for (const MemberField& field : text.fields)
        owner.addNativeProperty(model::makeNamedObject(nameOf(text, field.name), model::kKindVariable,
                                                       resolveMemberType(context, names, bound, field.type), 0),
                                field.isFinal);
    // The generated tables hold the members' link names for the class they
    // were written for: a thousand names are not built at every start.
    const bool linked = !text.ownerLink.empty() && bound.empty() && owner.linkName().view() == text.ownerLink;
    const model::BuiltinTypes& types = context.builtins();
    for (const MemberConstant& constant : text.constants) {
        const qestl::qestringA name = nameOf(text, constant.name);
        const std::string_view link = linked ? constant.linkName : std::string_view();
        switch (constant.kind) {
        case ConstantKind::Int:
            declareConstant(context, owner, name, types.intType, model::kTypeInt,
                            static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(constant.bits))), link,
                            freshConstants, unlistedConstants);
            break;
        case ConstantKind::Char:
            declareConstant(context, owner, name, types.charType, model::kTypeChar,
                            static_cast<uint16_t>(constant.bits), link, freshConstants, unlistedConstants);
            break;
        case ConstantKind::Double:
            declareConstant(context, owner, name, types.doubleType, model::kTypeDouble, constant.bits, link,
                            freshConstants, unlistedConstants);
            break;
        }
    }
    model::BuiltinMethodDecl record;
    for (const MemberMethod& method : text.methods) {
        fillMethodRecord(record, context, text, method, names, bound);
        if (linked) record.linkName = method.linkName;
        record.newInTable = fresh;
        record.unlistedUntilAsked = unlisted;
        record.unlistedLinkName = names.listsNamesWhenAsked();
        model::registerNativeMethod(owner, context, record);
    }
}

}  // namespace builtins
