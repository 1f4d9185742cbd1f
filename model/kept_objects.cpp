#include "model/kept_objects.h"

#include <algorithm>
#include <concepts>
#include <cstring>
#include <type_traits>
#include <iterator>
#include <unordered_set>

#include "model/class_object.h"
#include "model/function_object.h"
#include "model/template_class.h"

namespace model {

// One object's fields as they were kept (model/kept_fields.def); the
// fields of a class or a function stay empty for other objects.
struct KeptObjects::State {
    qestl::SmartPtr object;
    bool isClass = false;
    bool isFunction = false;
    TemplateClassObject* templateClass = nullptr;
    uint8_t expanding = 0;  // of a template
#define KEPT_CODE(field) decltype(cbircode::field) field{};
#define KEPT_OBJECT(field) decltype(IRObject::field) field{};
#define KEPT_CLASS(field) decltype(ClassObject::field) field{};
#define KEPT_TABLE(field) Container::Saved field;
#define KEPT_OWN_TABLE(field) Container::Saved field;
#define KEPT_FUNCTION(field) decltype(FunctionObject::field) field{};
#include "model/kept_fields.def"
#undef KEPT_CODE
#undef KEPT_OBJECT
#undef KEPT_CLASS
#undef KEPT_TABLE
#undef KEPT_OWN_TABLE
#undef KEPT_FUNCTION
};

// The kept operands of the object are operands_[first, first + count).
struct KeptObjects::Place {
    IRObject* object;
    uint32_t first;
    uint32_t count;
    decltype(cbircode::codeAddress) codeAddress;
    decltype(cbircode::resolvedOnce) resolvedOnce;
};

namespace {

// Most fields come back unchanged: those that can be compared are only
// written when they differ, which spares the copies of names and lists.
// Each answers whether the field had changed: a field is compared, never
// counted as changed unseen, or every full check would find it written.
template <typename T>
bool giveBack(T& field, const T& saved) {
    static_assert(std::equality_comparable<T>, "a kept field needs a comparison");
    if (field == saved) return false;
    field = saved;
    return true;
}

bool giveBack(DeclarationPlace& field, const DeclarationPlace& saved) {
    if (field == saved) return false;
    field = saved;
    return true;
}

// Elements whose bytes are those kept are the kept elements: anything an
// element owns would have its own copy in the state, at another address.
// Comparing the bytes spares a copy of every list of every object.
template <typename T>
bool sameBytes(const T* field, const T* saved, size_t count) {
    return count == 0 || sameKeptBytes(field, saved, count * sizeof(T));
}

bool giveBack(qestl::qestringA& field, const qestl::qestringA& saved) {
    if (field.length() == saved.length() && sameKeptBytes(field.data(), saved.data(), field.length())) return false;
    field = saved;
    return true;
}

template <typename T>
bool giveBack(std::vector<T>& field, const std::vector<T>& saved) {
    if (field.size() == saved.size() && sameBytes(field.data(), saved.data(), field.size())) return false;
    field = saved;
    return true;
}

template <typename T, typename Size>
bool giveBack(qestl::qevector<T, Size>& field, const qestl::qevector<T, Size>& saved) {
    if (field.size() == saved.size() && sameBytes(field.begin(), saved.begin(), field.size())) return false;
    field = saved;
    return true;
}

// A result has padding that a copy does not carry over: its fields are
// compared one by one.
bool sameResult(const IRResult& a, const IRResult& b) {
    return a.object.get() == b.object.get() && a.sourceNode.get() == b.sourceNode.get() &&
           sameBytes(&a.operand, &b.operand, 1) && a.matchRank == b.matchRank && a.sizeValue == b.sizeValue &&
           a.markerByte == b.markerByte && a.addressOf == b.addressOf && a.statesApplied == b.statesApplied &&
           a.reach == b.reach && a.stateWord == b.stateWord && a.storageIndex == b.storageIndex &&
           a.pathKind == b.pathKind && a.pending.size() == b.pending.size() &&
           sameBytes(a.pending.begin(), b.pending.begin(), a.pending.size()) && a.states.size() == b.states.size() &&
           sameBytes(a.states.begin(), b.states.begin(), a.states.size()) &&
           a.secondObject.get() == b.secondObject.get() && a.secondNode.get() == b.secondNode.get();
}

bool giveBack(qestl::RareFields<Operand>& field, const qestl::RareFields<Operand>& saved) {
    if (sameBytes(&field.get(), &saved.get(), 1)) return false;
    field = saved;
    return true;
}

bool giveBack(OwnerDescriptor& field, const OwnerDescriptor& saved) {
    if (field.sameWordAs(saved)) return false;
    if (field.whole() != nullptr && saved.whole() != nullptr && sameResult(*field.whole(), *saved.whole()))
        return false;
    field = saved;
    return true;
}

template <typename Count>
bool giveBack(qestl::qevector<IRResult, Count>& field, const qestl::qevector<IRResult, Count>& saved) {
    bool same = field.size() == saved.size();
    for (size_t i = 0; same && i < field.size(); ++i) same = sameResult(field[i], saved[i]);
    if (!same) field = saved;
    return !same;
}

bool giveBack(Container& field, const Container::Saved& saved) { return field.restore(saved); }

}  // namespace

void giveBackOperand(Operand& field, const Operand& kept) {
    static_assert(sizeof(Operand) == 24, "an operand field is not given back");
    if (field.target.get() != kept.target.get()) {
        field = kept;
        return;
    }
    field.displacement = kept.displacement;
    field.value = kept.value;
    field.valueEncoded = kept.valueEncoded;
    field.encodedKind = kept.encodedKind;
    field.kind = kept.kind;
    field.dataType = kept.dataType;
}

bool sameKeptBytes(const void* a, const void* b, size_t size) {
    const auto* x = static_cast<const unsigned char*>(a);
    const auto* y = static_cast<const unsigned char*>(b);
    size_t at = 0;
    for (; at + 8 <= size; at += 8) {
        uint64_t u, v;
        std::memcpy(&u, x + at, 8);
        std::memcpy(&v, y + at, 8);
        if (u != v) return false;
    }
    for (; at < size; ++at)
        if (x[at] != y[at]) return false;
    return true;
}

// Calls visit(field of the object, field of the state, field name) for
// every kept field the object has; a member table is a Container.
template <typename Visit>
void KeptObjects::eachField(IRObject& o, State& state, Visit visit) {
    ClassObject* c = state.isClass ? static_cast<ClassObject*>(&o) : nullptr;
    FunctionObject* f = state.isFunction ? static_cast<FunctionObject*>(&o) : nullptr;
#define KEPT_CODE(field) visit(o.field, state.field, #field);
#define KEPT_CODE_BITS(field)                  \
    {                                          \
        auto value = o.field;                  \
        visit(value, state.field, #field);     \
        if (value != o.field) o.field = value; \
    }
#define KEPT_OBJECT(field) visit(o.field, state.field, #field);
#define KEPT_CLASS(field) \
    if (c != nullptr) visit(c->field, state.field, #field);
#define KEPT_TABLE(field) \
    if (c != nullptr) visit(c->field, state.field, #field);
#define KEPT_OWN_TABLE(field) \
    if (c != nullptr) visit(c->ownTables().field, state.field, #field);
#define KEPT_FUNCTION(field) \
    if (f != nullptr) visit(f->field, state.field, #field);
#include "model/kept_fields.def"
#undef KEPT_CODE
#undef KEPT_CODE_BITS
#undef KEPT_OBJECT
#undef KEPT_CLASS
#undef KEPT_TABLE
#undef KEPT_OWN_TABLE
#undef KEPT_FUNCTION
}

KeptObjects::KeptObjects() = default;
KeptObjects::~KeptObjects() = default;

void KeptObjects::note(State& state, IRObject& o) {
    state.object = qestl::SmartPtr(&o);
    state.isClass = asClass(&o) != nullptr;
    state.isFunction = o.isFunction();
    places_.push_back(Place{&o, static_cast<uint32_t>(operands_.size()), static_cast<uint32_t>(o.operands.capacity()),
                            o.codeAddress, o.resolvedOnce});
    for (size_t i = 0; i < o.operands.capacity(); ++i) operands_.push_back(o.operands[i]);
    state.templateClass = dynamic_cast<TemplateClassObject*>(&o);
    if (state.templateClass != nullptr) state.expanding = state.templateClass->expanding;
    eachField(o, state, [](auto& field, auto& saved, const char*) {
        if constexpr (std::is_same_v<std::decay_t<decltype(field)>, Container>) field.save(saved);
        else saved = field;
    });
}

const char* KeptObjects::giveBackState(uint32_t index) {
    State& state = *states_[index];
    const Place& place = places_[index];
    IRObject& o = *place.object;
    const Operand* kept = operands_.data() + place.first;
    const char* changed = nullptr;
    for (size_t i = 0; i < o.operands.capacity(); ++i) {
        if (i < place.count && sameBytes(&o.operands[i], &kept[i], 1)) continue;
        giveBackOperand(o.operands[i], i < place.count ? kept[i] : Operand());
        changed = "operands";
    }
    if (state.templateClass != nullptr && state.templateClass->expanding != state.expanding) {
        state.templateClass->expanding = state.expanding;
        changed = "expanding";
    }
    eachField(o, state, [&changed](auto& field, auto& saved, const char* name) {
        if (giveBack(field, saved) && changed == nullptr) changed = name;
    });
    return changed;
}

namespace {

// Where each kept table lies in its class, by the place a lent table holds
// (1 for the first of model/kept_fields.def): a lent table finds the class
// it notes its writes with from its own address. A class's fields lie at
// the same offsets in every class object (no virtual base). The places past
// them are the tables made on demand, which lie in the class's OwnTables
// and find the class through its owner.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
struct KeptTablePlace {
    size_t offset;
    bool inOwnTables;  // within ClassObject::OwnTables, not the class
};
constexpr KeptTablePlace kKeptTablePlaces[] = {
    {0, false},
#define KEPT_CODE(field)
#define KEPT_OBJECT(field)
#define KEPT_CLASS(field)
#define KEPT_TABLE(field) {offsetof(ClassObject, field), false},
#define KEPT_OWN_TABLE(field) {offsetof(ClassObject::OwnTables, field), true},
#define KEPT_FUNCTION(field)
#include "model/kept_fields.def"
#undef KEPT_CODE
#undef KEPT_OBJECT
#undef KEPT_CLASS
#undef KEPT_TABLE
#undef KEPT_OWN_TABLE
#undef KEPT_FUNCTION
};
#pragma GCC diagnostic pop

}  // namespace

void Container::lendWith(cbircode* record) {
    if (record == nullptr) {
        lent_ = 0;
        return;
    }
    ClassObject* owner = asClass(static_cast<IRObject*>(record));
    const ClassObject::OwnTables* own = owner->ownTables_;
    for (uint8_t place = 1; place < std::size(kKeptTablePlaces); ++place) {
        const KeptTablePlace& at = kKeptTablePlaces[place];
        const void* holder = at.inOwnTables ? static_cast<const void*>(own) : owner;
        if (holder != nullptr && reinterpret_cast<uintptr_t>(this) - reinterpret_cast<uintptr_t>(holder) == at.offset)
            lent_ = place;
    }
    if (lent_ == 0) internalFault("internal error: a table lent with a record it is not a table of");
}

void Container::noteLentWrite() {
    const KeptTablePlace& at = kKeptTablePlaces[lent_];
    const uintptr_t holder = reinterpret_cast<uintptr_t>(this) - at.offset;
    ClassObject* owner = at.inOwnTables ? reinterpret_cast<ClassObject::OwnTables*>(holder)->owner
                                        : reinterpret_cast<ClassObject*>(holder);
    static_cast<cbircode*>(owner)->noteWrite();
}

void KeptObjects::lendTables(IRObject& o, cbircode* with) {
    ClassObject* c = asClass(&o);
    if (c == nullptr) return;
#define KEPT_CODE(field)
#define KEPT_OBJECT(field)
#define KEPT_CLASS(field)
#define KEPT_TABLE(field) c->field.lendWith(with);
#define KEPT_OWN_TABLE(field) c->ownTables().field.lendWith(with);
#define KEPT_FUNCTION(field)
#include "model/kept_fields.def"
#undef KEPT_CODE
#undef KEPT_OBJECT
#undef KEPT_CLASS
#undef KEPT_TABLE
#undef KEPT_OWN_TABLE
#undef KEPT_FUNCTION
}

void KeptObjects::keepReachableFrom(const std::vector<qestl::SmartPtr>& roots) {
    std::unordered_set<const IRObject*> seen;
    std::vector<IRObject*> pending;
    auto reach = [&](const qestl::SmartPtr& ref) {
        IRObject* object = asObject(ref);
        if (object != nullptr && seen.insert(object).second) pending.push_back(object);
    };
    for (const qestl::SmartPtr& root : roots) reach(root);
    std::vector<IRObject*> found;
    while (!pending.empty()) {
        IRObject* o = pending.back();
        pending.pop_back();
        found.push_back(o);
        const qestl::SmartPtr owner = o->ownerResult.object();
        for (const qestl::SmartPtr* ref : std::initializer_list<const qestl::SmartPtr*>{
                 &o->type, &owner, &o->classField, &o->rare().templateOrigin, &o->rare().builtinTemplate,
                 &o->rare().thisObject, &o->constant.get().target})
            reach(*ref);
        for (const IRResult& argument : o->templateArguments) reach(argument.object);
        if (ClassObject* c = asClass(o)) {
            reach(c->baseClass);
            reach(c->thisObject);
            const ClassObject::OwnTables* own = c->ownTables_;
            for (const Container* table : std::initializer_list<const Container*>{
                     &c->dynamicMethods, own ? &own->staticMethods : nullptr, &c->dynamicProperties,
                     own ? &own->staticProperties : nullptr, own ? &own->anonymousProperties : nullptr,
                     own ? &own->templateArgumentTable : nullptr})
                if (table != nullptr)
                    for (const qestl::SmartPtr& member : table->members()) reach(member);
        }
        if (o->isFunction()) {
            auto* f = static_cast<FunctionObject*>(o);
            for (const qestl::SmartPtr& parameter : f->parameters) reach(parameter);
            for (const ObjectStateMap::Entry& thrown : f->throwsSet()) reach(thrown.object);
        }
    }
    // In creation order, so that giving back never depends on addresses.
    std::sort(found.begin(), found.end(),
              [](const IRObject* a, const IRObject* b) { return a->serial() < b->serial(); });
    for (IRObject* o : found) {
        o->kept = kKeptLent;
        lendTables(*o, o);
        states_.push_back(std::make_unique<State>());
        note(*states_.back(), *o);
    }
}

// Placing a record writes its address and resolves its operands, so they
// differ from the kept ones every time: comparing them first only cost.
void KeptObjects::giveBackPlace(uint32_t index) {
    const Place& place = places_[index];
    IRObject& o = *place.object;
    const Operand* kept = operands_.data() + place.first;
    const size_t slots = o.operands.capacity();
    for (size_t i = 0; i < place.count; ++i) giveBackOperand(o.operands[i], kept[i]);
    for (size_t i = place.count; i < slots; ++i) o.operands[i] = Operand();
    o.codeAddress = place.codeAddress;
    o.resolvedOnce = place.resolvedOnce;
}

// A compilation of a small source places some five hundred of the
// eighteen hundred lent records: reading every one's mark costs fewer
// instructions than looking up in the keeper's list each record noted
// written, and a record, which has no way to its keeper, needs no list it
// could reach.
void KeptObjects::restore(bool checkAll) {
    for (uint32_t index = 0; index < places_.size(); ++index) {
        IRObject& o = *places_[index].object;
        const uint8_t how = o.kept;
        if (how == kKeptLent) continue;
        o.kept = kKeptLent;
        if (how == kKeptPlaced) giveBackPlace(index);
        else giveBackState(index);
    }
    if (!checkAll) return;
    for (uint32_t index = 0; index < states_.size(); ++index) {
        const char* changed = giveBackState(index);
        if (changed != nullptr)
            internalFault("internal error: %s of the lent %s was written without noting it", changed,
                          places_[index].object->name.c_str());
    }
}

void KeptObjects::release() {
    for (const std::unique_ptr<State>& state : states_) {
        asObject(state->object)->kept = kNotKept;
        lendTables(*asObject(state->object), nullptr);
    }
    states_.clear();
    places_.clear();
    operands_.clear();
}

}  // namespace model
