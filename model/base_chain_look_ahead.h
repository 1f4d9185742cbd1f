// The look-ahead of a climb up a long chain of base classes (constructing an
// object runs the constructor of every base: bench/hostile_shapes.py
// inheritance_chain at 1M). Each step reads its base's record and numbers
// the base's name in the failed-name table, which a long chain holds far
// outside the caches, one step waiting on the next. Past the first steps,
// the parts of the record 2 * kAhead steps up that a step reads are loaded
// as soon as its place is known, and the name kAhead steps up is hashed and
// the place of its number loaded.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>

#include "foundation/look_ahead.h"
#include "foundation/text_map.h"
#include "model/class_object.h"
#include "model/failed_names.h"

namespace model {

class BaseChainLookAhead {
public:
    // The names are numbered by the compilation's numbering.
    explicit BaseChainLookAhead(const FailedNameNumbers& numbers) : numbers_(numbers) {}

    // The name of `base`, met at `step` of the climb, hashed (ahead, when
    // the chain is long).
    [[gnu::always_inline]] qestl::HashedText& nameAt(uint32_t step, const ClassObject& base) {
        std::optional<qestl::HashedText>& hashed = names_[step % kAhead];
        if (!hashed || !qestl::sameStorage(hashed->text, base.name.view())) hashed.emplace(base.name.view());
        return *hashed;
    }

    // Once step `step` at `base` has read its name: loads what later steps
    // will read.
    [[gnu::always_inline]] void loadAfter(uint32_t step, ClassObject* base) {
        if (step + 1 < 2 * kAhead) return;
        if (step + 1 == 2 * kAhead) {
            ClassObject* up = base;
            for (uint32_t i = 0; i < kAhead && up != nullptr; ++i) up = up->base();
            for (uint32_t i = 0; i < kAhead; ++i) {
                records_[(step + i) % kAhead] = loaded_ = up;
                if (up != nullptr) up = up->base();
            }
        }
        if (loaded_ != nullptr && (loaded_ = loaded_->base()) != nullptr) {
            qestl::touch(loaded_);
            qestl::touch(&loaded_->kind);
            qestl::touch(&loaded_->name);
            qestl::touch(&loaded_->declarationNode);
            qestl::touch(&loaded_->baseClass);
            qestl::touch(&loaded_->dynamicMethods);
        }
        // The name kAhead steps up takes this step's place among the names.
        if (ClassObject* named = std::exchange(records_[step % kAhead], loaded_)) {
            numbers_.prefetch(names_[step % kAhead].emplace(named->name.view()));
            if (const qeAbstractNode* node = named->declarationNode.get()) qestl::touch(&node->flags);
        }
    }

private:
    static constexpr uint32_t kAhead = 4;
    const FailedNameNumbers& numbers_;
    std::optional<qestl::HashedText> names_[kAhead];  // by step, kAhead apart
    ClassObject* records_[kAhead] = {};               // by step, the record kAhead steps up
    ClassObject* loaded_ = nullptr;
};

}  // namespace model
