// Entering classes into the compilation: the built-ins once, when the
// registry runs, and every class compiled from source or made from a
// template.
#include "codegen/compile_context.h"

#include <charconv>
#include <string>

#include "codegen/resource_table.h"
#include "model/builtin_types.h"
#include "model/class_holder.h"
#include "model/class_object.h"
#include "model/enclosing_scopes.h"
#include "model/ir_object.h"

using model::asObject;
using model::IRObject;
using qestl::SmartPtr;

namespace {

// Whether the innermost class scope is the body of a class that `function`
// made (an anonymous class, or a class nested in one, whose own nested
// classes are declared there).
bool declaredInClassMadeBy(const ScopeChain& scopes, const SmartPtr& function) {
    if (scopes.records.empty()) return false;
    IRObject* scope = asObject(scopes.records.back().object);
    if (model::asClass(scope) == nullptr) return false;
    bool madeThere = false;
    model::walkOutward(scope, [&](IRObject& around, uint32_t) {
        madeThere = &around == asObject(function);
        return !madeThere;
    });
    return madeThere;
}

}  // namespace

void CompileContext::registerBuiltinClass(const SmartPtr& owner, const SmartPtr& klass) {
    model::ClassObject* c = model::asClass(asObject(klass));
    if (c == nullptr) return;
    IRObject* outer = asObject(owner);
    if (outer != nullptr) {
        c->setOwner(model::IRResult(owner));
        c->buildLinkName();
    }
    std::string name(c->name.view());
    c->findFinalizer();
    c->flagsB |= model::kFlagHidden;
    c->modifiers = (c->modifiers & ~model::kModAccessMask) | 64;
    if (name == "*" && c->linkName().view() == "/*") name = "Object";
    tables_.addSymbolString(name);
    if (static_cast<int32_t>(c->builtinClassId) > 0)
        tables_.setClassById(static_cast<int32_t>(c->builtinClassId), klass);
    c->baseMergePending = 0;
    c->flagsB |= model::kFlagByBuiltinId;
    if (c->isPackage()) lookup_.packages()[std::string(c->linkName().view())] = klass;
    if (c->kind == model::kKindTemplateClass) {
        lookup_.globalTemplates().findOrCreate(c->linkName().view(), klass);
    } else {
        if (c->madeOfTemplate()) tables_.globalObjects().findOrCreate(c->linkName().view(), klass);
        emitter_.list(kBuiltinClassList).pushBack(klass);
    }
    if (outer == nullptr) {
        lookup_.scopes().heaps[model::ModelContext::kBuiltinClasses]->findOrCreate(name, klass);
    } else {
        qestl::qestringA global;
        global.appendFormat("$buildin_%s@%s", c->name.c_str(), outer->name.c_str());
        lookup_.scopes().heaps[model::ModelContext::kBuiltinClasses]->findOrCreate(global.view(), klass);
        model::asClass(outer)->addClassMember(c->name.view(), klass, true);
    }
}

void CompileContext::enterBuiltinsOf(CompileContext& registry) {
    tables_.enterBuiltinsOf(registry.tables_);
    // The lent objects keep the registry's numbers.
    shareNumberingOf(registry);
    shareBuiltinsOf(registry);
    // The registry's lists are borrowed, not copied: the class list is only
    // read, and a compilation that adds no record (most that fail) never
    // copies the thousand built-in methods nor gives them back one by one.
    CodeList& classes = registry.emitter_.list(kBuiltinClassList);
    emitter_.list(kBuiltinClassList).borrow(classes.begin(), classes.size());
    // The built-in methods, each with the string resource of its link name:
    // the registry's items come first, as registering would have made them.
    registry.tables_.resources().lendItemsTo(tables_.resources());
    CodeList& records = registry.emitter_.list(kRecordList);
    emitter_.list(kRecordList).borrow(records.begin(), records.size());
    for (int heap = 0; heap < 3; ++heap)
        lookup_.scopes().heaps[heap]->lendEntriesOf(*registry.lookup().scopes().heaps[heap]);
    lookup_.globalTemplates().lendEntriesOf(registry.lookup_.globalTemplates());
    lookup_.packages() = registry.lookup_.packages();
}

model::Operand CompileContext::registerClass(std::string_view name, const SmartPtr& klass, bool declareInScope,
                                             bool isStatic) {
    model::ClassObject* c = model::asClass(asObject(klass));
    if (c == nullptr) return model::Operand();
    if (c->isPackage()) {
        const std::string link(c->linkName().view());
        if (lookup_.packages().count(link) != 0) return model::Operand(0, model::kErrorOperand, 0);
        lookup_.packages()[link] = klass;
    }
    // Hashed once for the heap's place ahead and the entry there.
    const qestl::HashedText hashedName(declareInScope ? name : std::string_view());
    model::Operand result;
    bool global = false;
    if (c->kind == model::kKindTemplateClass) {
        result = lookup_.globalTemplates().findOrCreate(c->linkName().view(), klass);
    } else {
        if (c->madeOfTemplate()) {
            tables_.globalObjects().findOrCreate(c->linkName().view(), klass);
            global = true;
            ++instancesRegistered_;
        }
        c->sourceNode = c->declarationNode.node();
        // A class declared in a function body belongs to that function, but
        // one declared in the body of a class made there belongs to that
        // class, as a nested class does. An instance is one class for the
        // whole program and keeps its template's owner: owned by the
        // function that named it first, it would be hidden from every other
        // class (its arguments with it).
        const SmartPtr& function = lookup_.scopes().frame->owner;
        if (function && !global && !declaredInClassMadeBy(lookup_.scopes(), function))
            c->setOwner(model::IRResult(function));
        // The image heap most often takes the class's name: in a program of
        // many classes its place lies far outside the caches, and is loaded
        // while the holder is made.
        model::Container& heap = *lookup_.scopes().heaps[0];
        if (declareInScope && lookup_.scopes().records.empty()) heap.prefetchPlace(hashedName);
        emitter_.list(kRecordList).pushBack(klass);
        // "$class<n>@<name>", written piece by piece: formatting it took
        // more than the rest of a class's registration.
        char digits[16];
        const int held = static_cast<int>(heap.members().size());
        const char* end = std::to_chars(digits, digits + sizeof digits, held).ptr;
        std::string& holderName = holderName_;
        holderName.clear();
        holderName.append(model::kHolderPrefix)
            .append(digits, static_cast<size_t>(end - digits))
            .append("@")
            .append(name);
        SmartPtr holder = model::ClassHolder::make(holderName);
        heap.appendClassHolder(holder);
        c->operands[0] = model::Operand();
        c->operands[0].setObjectRef(holder, 0);
    }
    if (declareInScope && !global) result = lookup_.scopes().declareClass(hashedName, klass, isStatic);
    return result;
}
