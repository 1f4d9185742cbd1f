#include "codegen/scope_chain.h"

#include "codegen/name_lookup.h"
#include "model/class_object.h"

using model::Container;
using model::IRObject;
using model::Operand;
using qestl::SmartPtr;

ScopeChain::ScopeChain()
    : heaps{std::make_unique<model::cbHeap>(), std::make_unique<model::cbHeap>(), std::make_unique<model::cbHeap>()},
      frame(std::make_unique<model::StackFrame>()) {}

ScopeChain::~ScopeChain() { clear(); }

void ScopeChain::clear() {
    head.reset();
    records.clear();
    frames.clear();
    for (auto& heap : heaps) heap->clear();
    frame->clear();
    frame->owner.reset();
    staticObjects = nullptr;
}

void ScopeChain::pushObjectScope(const SmartPtr& object) {
    IRObject* o = model::asObject(object);
    ScopeRecord record;
    record.object = object;
    record.mode = o != nullptr && o->kind == model::kKindClass ? ScopeRecord::kClassScope : ScopeRecord::kObjectScope;
    records.push_back(std::move(record));
}

void ScopeChain::popObjectScope() {
    if (!records.empty()) records.pop_back();
}

void ScopeChain::pushFrame(const SmartPtr& owner) {
    frames.push_back(std::move(frame));
    frame = std::make_unique<model::StackFrame>();
    frame->owner = owner;
}

void ScopeChain::popFrame() {
    if (frames.empty()) return;
    frame->handOverMembers();  // parameters live on in their function; a detached local would detach its type
    frame = std::move(frames.back());
    frames.pop_back();
}

SmartPtr firstMember(const Container& container, std::string_view name) {
    const auto* listed = container.indexesOf(name);
    return listed != nullptr && !listed->empty() ? container.members()[listed->front()] : SmartPtr();
}

Operand ScopeChain::declareObject(std::string_view name, const SmartPtr& object, bool isStatic) {
    switch (declarationMode_) {
    case kDeclareMember: {
        model::ClassObject* owner = innermostClass();
        if (owner == nullptr) return Operand();
        if (isStatic) {
            qestl::qestringA hidden;
            hidden.appendFormat("$unnamed_object_%d", static_cast<int>(heaps[0]->members().size()));
            heaps[0]->findOrCreate(hidden.view(), object);
        }
        return owner->addProperty(name, object, isStatic);
    }
    case kDeclareLocal:
    case kDeclareLocalOnce:
        if (!isStatic) return frame->findOrCreate(name, object);
        if (staticObjects != nullptr) {
            Container::NameEntry entry;
            const Operand slot = heaps[0]->findOrCreate(name, object, &entry);
            if (slot.kind != model::kErrorOperand) staticObjects->push_back(std::move(entry));
            return slot;
        }
        return heaps[0]->findOrCreate(name, object);
    default:
        return heaps[0]->findOrCreate(name, object);
    }
}

void ScopeChain::setFunctionStatics(std::vector<Container::NameEntry>* list) {
    if (staticObjects != nullptr) heaps[0]->renameFunctionStatics(*staticObjects);
    staticObjects = list;
}

Operand ScopeChain::declareMethod(model::ModelContext& context, const SmartPtr& method, bool forced) {
    IRObject* m = model::asObject(method);
    const std::string_view name = m->name.view();
    switch (forced ? kDeclareGlobal : declarationMode_) {
    case kDeclareLocal:
    case kDeclareLocalOnce:
        return Operand();
    case kDeclareMember: {
        model::ClassObject* owner = innermostClass();
        if (owner == nullptr) return Operand();
        return owner->addMethod(context, name, method, m->isStatic());
    }
    default:
        return heaps[0]->findOrAdd(name, method);
    }
}

Operand ScopeChain::declareClass(const qestl::HashedText& name, const SmartPtr& klass, bool isStatic) {
    if (records.empty()) return heaps[0]->findOrCreateHashed(name, klass);
    model::ClassObject* owner = innermostClass();
    if (owner == nullptr) return Operand();
    return owner->addClassMember(name.text, klass, isStatic);
}

SmartPtr ScopeChain::declareGlobal(std::string_view name, const SmartPtr& classType) {
    if (SmartPtr found = firstMember(*heaps[1], name)) return found;
    SmartPtr made = model::makeClass(name, classType);
    heaps[1]->findOrCreate(name, made);
    return made;
}

model::ClassObject* ScopeChain::innermostClass() {
    ScopeRecord* record = innermost();
    IRObject* object = record != nullptr ? model::asObject(record->object) : nullptr;
    return object != nullptr ? model::asClass(object) : nullptr;
}
