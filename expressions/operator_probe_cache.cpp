#include "expressions/operator_probe_cache.h"

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
    if (const Entry* entry = find(klass, key)) {
        Entry& kept = entries_[static_cast<size_t>(entry - entries_.data())];
        kept.stamp = stamp;
        kept.answer = answer;
        return;
    }
    entries_.push_back(Entry{klass, key, stamp, answer});
    // At most three slots in four taken, so that a search soon meets a free one.
    if (entries_.size() * 4 > slots_.size() * 3) {
        slots_.assign(slots_.empty() ? size_t{64} : slots_.size() * 2, 0);
        for (size_t i = 0; i < entries_.size(); ++i) place(i);
    } else {
        place(entries_.size() - 1);
    }
}
