// The steps the declaration compilers share.
#include "statements/declarations.h"

#include <string>

#include "codegen/instructions.h"
#include "codegen/suggestions.h"
#include "declare/declaration_entries.h"
#include "diagnostics/diagnostics.h"
#include "foundation/look_ahead.h"
#include "model/builtin_types.h"
#include "model/class_object.h"
#include "model/ir_object.h"
#include "statements/compile_walk.h"

namespace declarations {

qestl::SmartPtr resolveDeclaredType(CompileContext& context, const StatementNode& typeNode, const StatementNode& at) {
    resolveTypeReference(context, typeNode);
    RecycledValueList found(context.lookup());
    context.lookup().takeResults(found);
    if (found.empty()) {
        qestl::qestringA listing;
        appendDidYouMean(context, listing, typeNode);
        context.reportError(diag::UnknownTypeListed, typeNode, listing);
        return {};
    }
    qestl::SmartPtr type;
    size_t types = 0;
    for (const model::IRResult& candidate : found) {
        model::IRObject* object = candidate.objectPtr();
        if (!isTypeObject(object)) continue;
        if (types++ == 0) type = candidate.object;
    }
    if (types == 0) {
        context.reportError(diag::UnknownType, at);
        return {};
    }
    if (types > 1) {
        qestl::qestringA listing;
        describeTypeCandidates(found, listing);
        context.reportError(diag::TypeUndetermined, at, listing);
        return {};
    }
    if (model::isBuiltin(model::asObject(type), model::Builtin::Void)) {
        context.reportError(diag::VoidType, at);
        return {};
    }
    return type;
}

bool compileInitialiser(CompileContext& context, const StatementNode& initialiser, model::IRValueList& found) {
    compileStatement(context, initialiser, false);
    if (context.diagnostics().hasErrors()) return false;
    if (context.lookup().candidates().empty()) {
        context.reportError(diag::NoInitialValue, initialiser);
        return false;
    }
    context.lookup().takeResults(found);
    return true;
}

void warnTypeName(CompileContext& context, const StatementNode& declarator) {
    if (!context.tables().hasSymbolString(declarator->text)) return;
    context.reportWarning(diag::NameIsType, declarator, std::string(declarator->text.view()));
}

model::IRObject* valueTypeOf(const model::IRResult& candidate) {
    model::IRObject* object = candidate.objectPtr();
    return object != nullptr ? model::asObject(object->valueType()) : nullptr;
}

void keepAssignable(CompileContext& context, model::IRValueList& candidates, const qestl::SmartPtr& type) {
    // Most lists keep every candidate (an initialiser's element has one):
    // a list is made again only from the first candidate it drops on.
    size_t first = 0;
    while (first < candidates.size() && model::convertible(&context, valueTypeOf(candidates[first]), type, true))
        ++first;
    if (first == candidates.size()) return;
    model::IRValueList kept;
    for (size_t i = 0; i < first; ++i) kept.pushBack(candidates[i]);
    for (size_t i = first + 1; i < candidates.size(); ++i) {
        if (model::convertible(&context, valueTypeOf(candidates[i]), type, true)) kept.pushBack(candidates[i]);
    }
    candidates.swap(kept);
}

model::IRResult* firstAssignable(CompileContext& context, model::IRValueList& candidates, const qestl::SmartPtr& type) {
    for (model::IRResult& candidate : candidates) {
        if (model::convertible(&context, valueTypeOf(candidate), type, true)) return &candidate;
    }
    return nullptr;
}

void reportMismatch(CompileContext& context, const Diagnostic& entry, model::IRObject* target,
                    const model::IRValueList& candidates, const StatementNode& at) {
    qestl::qestringA sources;
    dumpScopeSymbols(context, candidates, sources);
    const std::string_view none;
    context.reportError(entry, at, target != nullptr ? target->displayName().view() : none,
                        target != nullptr ? target->linkName().view() : none, sources);
}

namespace {

// A class of many static fields has them compiled in the order they were
// entered, each looked up in a table far outside the caches: the places of
// the fields some members ahead are loaded while these are compiled, the
// names hashed for those before them, and the members that hold the names
// first (bench/hostile_shapes.py static_fields). The loads go out a batch
// at a time, at every eighth field: each place lies on a page of its own,
// and a load waits until its page is found; asked together, those
// searches overlap, where one asked per field waited alone.
void lookAheadOfStatic(const model::Container& table, size_t at) {
    constexpr size_t kManyMembers = 4096;
    constexpr size_t kBatch = 8;
    const model::Container::MemberList& members = table.members();
    const size_t count = members.size();
    if (count < kManyMembers) return;
    const auto object = [&](size_t i) { return model::asObject(members[i]); };
    qestl::loadBatchAhead(at, kBatch, 3 * kBatch, count, [&](size_t i) { qestl::touch(&object(i)->name); });
    qestl::loadBatchAhead(at, kBatch, 2 * kBatch, count, [&](size_t i) { qestl::touch(object(i)->name.c_str()); });
    qestl::loadBatchAhead(at, kBatch, kBatch, count,
                          [&](size_t i) { table.prefetchPlace(qestl::HashedText(object(i)->name.view())); });
}

}  // namespace

model::Operand declareStorage(CompileContext& context, const qestl::SmartPtr& object, bool isStatic, bool madeBefore) {
    model::IRObject* o = model::asObject(object);
    if (madeBefore && context.lookup().scopes().declarationMode() == kDeclareMember) {
        model::ClassObject* klass = context.lookup().scopes().innermostClass();
        if (klass == nullptr) return context.lookup().scopes().declareObject(o->name.view(), object, isStatic);
        const qestl::HashedText name(o->name.view());
        if (!isStatic) {
            if (klass->indexOfMember(*o, name) != 0) return klass->dynamicProperties.findOrCreateHashed(name, object);
            return context.lookup().scopes().declareObject(o->name.view(), object, isStatic);
        }
        // A static member's value lives in the image heap, as for one the
        // scope declares; no name reaches it there.
        if (const uint32_t listed = klass->indexOfMember(*o, name); listed != 0) {
            const model::Container::MemberList& statics = klass->staticProperties().members();
            if (listed <= statics.size() && statics[listed - 1].get() == o)
                lookAheadOfStatic(klass->staticProperties(), listed - 1);
            context.lookup().scopes().heaps[0]->appendUnlisted(object);
            return klass->staticProperties().findOrCreateHashed(name, object);
        }
    }
    return context.lookup().scopes().declareObject(o->name.view(), object, isStatic);
}

void emitStore(CompileContext& context, uint32_t opcode, const model::Operand& target, const model::Operand& value,
               const StatementNode& node) {
    qestl::SmartPtr store = context.emitter().emit(codegen::makeInstructionWithTwoOperands(opcode, target, value),
                                                   node);
    store.as<model::cbircode>()->keepFirstOperand = 1;
}

}  // namespace declarations
