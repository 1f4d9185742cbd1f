#include "expressions/operator_probe_cache.h"

#include <cstring>

#include "model/builtin_types.h"
#include "model/class_object.h"
#include "model/model_context.h"

size_t OperatorProbeCache::stampOf(const model::ModelContext& context, model::IRObject* klass) {
    // Only the built-in value classes: top-level, no enclosing class or
    // captures to ask after their own tables, and no template methods.
    const bool valueClass = model::isBuiltin(klass, model::Builtin::Int) ||
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
    return c->staticProperties.members().size() + c->staticMethods.members().size() +
           c->dynamicProperties.members().size() + c->dynamicMethods.members().size() +
           c->templateArgumentTable.members().size();
}

uint64_t OperatorProbeCache::keyOf(std::string_view name) {
    if (name.empty() || name.size() > sizeof(uint64_t)) return 0;
    uint64_t key = 0;
    std::memcpy(&key, name.data(), name.size());
    return key;
}

bool OperatorProbeCache::knownAbsent(const model::IRObject* klass, std::string_view name, size_t stamp) const {
    const uint64_t key = keyOf(name);
    for (const Entry& entry : entries_)
        if (entry.klass == klass && entry.name == key) return key != 0 && entry.stamp == stamp;
    return false;
}

void OperatorProbeCache::noteAbsent(const model::IRObject* klass, std::string_view name, size_t stamp) {
    const uint64_t key = keyOf(name);
    if (key == 0) return;
    for (Entry& entry : entries_) {
        if (entry.klass != klass || entry.name != key) continue;
        entry.stamp = stamp;
        return;
    }
    entries_.push_back(Entry{klass, key, stamp});
}
