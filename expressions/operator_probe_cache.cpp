#include "expressions/operator_probe_cache.h"

#include <typeinfo>

#include "codegen/compile_context.h"
#include "model/builtin_types.h"
#include "model/class_object.h"
#include "model/model_context.h"

size_t OperatorProbeCache::stampOf(const model::ModelContext& context, model::IRObject* klass) {
    // Only the built-in value classes and String: top-level, no enclosing
    // class or captures to ask after their own tables, and no template
    // methods.
    const bool valueClass = model::isBuiltin(klass, model::Builtin::String) ||
                            model::isBuiltin(klass, model::Builtin::Int) ||
                            model::isBuiltin(klass, model::Builtin::Long) ||
                            model::isBuiltin(klass, model::Builtin::Bool) ||
                            model::isBuiltin(klass, model::Builtin::Double) ||
                            model::isBuiltin(klass, model::Builtin::Float) ||
                            model::isBuiltin(klass, model::Builtin::Byte) ||
                            model::isBuiltin(klass, model::Builtin::Char) ||
                            model::isBuiltin(klass, model::Builtin::Short);
    if (!valueClass || context.templateMethodsListed() || klass->ownerObject() != nullptr) return kNotKept;
    const model::ClassObject* c = model::asClass(klass);
    if (c == nullptr || c->rareClass().captureContainer != nullptr) return kNotKept;
    return memberCount(klass);
}

bool OperatorProbeCache::mayOfferOwnMember(const model::IRObject& object, std::string_view name) {
    if (typeid(object) != typeid(model::IRObject) || name.empty()) return true;
    const unsigned char first = static_cast<unsigned char>(name[0]);
    const bool sign = (first >= '!' && first <= '/') || (first >= ':' && first <= '@') ||
                      (first >= '[' && first <= '^') || (first >= '{' && first <= '~');
    return !sign;
}

size_t OperatorProbeCache::memberCount(const model::IRObject* klass) {
    const auto* c = static_cast<const model::ClassObject*>(klass);
    const model::Container* staticProperties = c->staticPropertiesIfMade();
    const model::Container* staticMethods = c->staticMethodsIfMade();
    return (staticProperties ? staticProperties->members().size() : 0) +
           (staticMethods ? staticMethods->members().size() : 0) + c->dynamicProperties.members().size() +
           c->dynamicMethods.members().size() +
           (c->templateArgumentTableIfMade() ? c->templateArgumentTableIfMade()->members().size() : 0);
}

size_t OperatorProbeCache::stampFor(const model::ModelContext& context, model::IRObject* klass) {
    if (context.templateMethodsListed()) return kNotKept;
    for (const model::IRObject* kept : keptClasses_)
        if (kept == klass) return memberCount(klass);
    const size_t stamp = stampOf(context, klass);
    if (stamp != kNotKept) keptClasses_.push_back(klass);
    return stamp;
}

uint64_t OperatorProbeCache::keyOf(std::string_view name) {
    if (name.empty() || name.size() > sizeof(uint64_t)) return 0;
    // Byte by byte: an operator is a sign or two, too short to call for a copy.
    uint64_t key = 0;
    for (size_t i = name.size(); i > 0; --i) key = key << 8 | static_cast<unsigned char>(name[i - 1]);
    return key;
}

size_t OperatorProbeCache::slotOf(const model::IRObject* klass, uint64_t name) const {
    const uint64_t mixed = (reinterpret_cast<uintptr_t>(klass) >> 4) * 0x9E3779B97F4A7C15ull ^
                           name * 0xC2B2AE3D27D4EB4Full;
    return static_cast<size_t>(mixed >> 32) & (slots_.size() - 1);
}

const OperatorProbeCache::Entry* OperatorProbeCache::find(const model::IRObject* klass, uint64_t name) const {
    if (slots_.empty()) return nullptr;
    for (size_t slot = slotOf(klass, name);; slot = (slot + 1) & (slots_.size() - 1)) {
        if (slots_[slot] == 0) return nullptr;
        const Entry& entry = entries_[slots_[slot] - 1u];
        if (entry.klass == klass && entry.name == name) return &entry;
    }
}

void OperatorProbeCache::place(size_t index) {
    size_t slot = slotOf(entries_[index].klass, entries_[index].name);
    while (slots_[slot] != 0) slot = (slot + 1) & (slots_.size() - 1);
    slots_[slot] = static_cast<uint32_t>(index + 1);
}

OperatorProbeCache::Answer OperatorProbeCache::known(const model::IRObject* klass, std::string_view name,
                                                     size_t stamp) const {
    const uint64_t key = keyOf(name);
    if (key == 0) return kUnknown;
    const Entry* entry = find(klass, key);
    return entry != nullptr && entry->stamp == stamp ? entry->answer : kUnknown;
}

void OperatorProbeCache::note(const model::IRObject* klass, std::string_view name, size_t stamp, Answer answer) {
    const uint64_t key = keyOf(name);
    if (key == 0) return;
    Entry& entry = *findOrAdd(klass, key);
    entry.stamp = stamp;
    entry.answer = answer;
}

OperatorProbeCache::Entry* OperatorProbeCache::findOrAdd(const model::IRObject* klass, uint64_t name) {
    if (const Entry* entry = find(klass, name)) return &entries_[static_cast<size_t>(entry - entries_.data())];
    entries_.push_back(Entry{klass, name, kNotKept, kUnknown});
    // At most three slots in four taken, so that a search soon meets a free one.
    if (entries_.size() * 4 > slots_.size() * 3) {
        slots_.assign(slots_.empty() ? size_t{64} : slots_.size() * 2, 0);
        for (size_t i = 0; i < entries_.size(); ++i) place(i);
    } else {
        place(entries_.size() - 1);
    }
    return &entries_.back();
}

bool OperatorProbeCache::replayMembers(CompileContext& context, model::IRObject* klass, const qestl::HashedText& name,
                                       uint32_t flags) {
    const uint64_t key = keyOf(name.text);
    if (key == 0) return false;
    const Entry* entry = find(klass, key);
    if (entry == nullptr || entry->kept == 0) return false;
    const KeptMembers& kept = kept_[entry->kept - 1u];
    if (kept.flags != flags || kept.stamp != stampFor(context, klass)) return false;
    auto* c = static_cast<model::ClassObject*>(klass);
    const model::IndexList* listed = c->dynamicMethods.indexesOf(name);
    if (listed == nullptr) return false;
    c->dynamicMethods.lookupListed<true>(context, c, listed, name, model::kLevelOfViewerClass, flags);
    if (!context.lookup().candidates().empty()) return true;
    // A method the viewer may not see: the whole lookup is made instead.
    context.lookup().clearResults();
    return false;
}

void OperatorProbeCache::keepMembers(CompileContext& context, model::IRObject* klass, const qestl::HashedText& name,
                                     uint32_t flags) {
    const uint64_t key = keyOf(name.text);
    const size_t stamp = key != 0 ? stampFor(context, klass) : kNotKept;
    if (stamp == kNotKept) return;
    auto* c = static_cast<model::ClassObject*>(klass);
    const model::Container* staticProperties = c->staticPropertiesIfMade();
    const model::Container* staticMethods = c->staticMethodsIfMade();
    const model::Container* arguments = c->templateArgumentTableIfMade();
    if (staticProperties == nullptr || staticMethods == nullptr || staticProperties->indexesOf(name) != nullptr ||
        staticMethods->indexesOf(name) != nullptr || c->dynamicProperties.indexesOf(name) != nullptr ||
        (arguments != nullptr && arguments->indexesOf(name) != nullptr))
        return;
    // Every method listed bound, in its order, and nothing else: what the
    // method table alone makes.
    const model::IndexList* listed = c->dynamicMethods.indexesOf(name);
    const model::IRValueList& found = context.lookup().candidates();
    if (listed == nullptr || found.empty() || found.size() != listed->size()) return;
    size_t i = 0;
    for (uint32_t index : *listed)
        if (found[i++].objectPtr() != model::asObject(c->dynamicMethods.members()[index])) return;
    Entry& entry = *findOrAdd(klass, key);
    if (entry.kept == 0) {
        kept_.push_back(KeptMembers{stamp, flags});
        entry.kept = static_cast<uint32_t>(kept_.size());
    } else {
        kept_[entry.kept - 1u] = KeptMembers{stamp, flags};
    }
}
