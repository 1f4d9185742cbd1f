// The look-ahead of a long switch's compilation. The nodes of its cases were
// made long before and lie far out of the cache: for each case some cases
// ahead, its node, then its list, then its value and body nodes, then the
// body's lists, then the nodes they hold are asked for, each step once the
// one before it has come (bench/hostile_shapes.py big_switch and
// switch_falling at 1M cases).
#pragma once

#include <cstddef>

#include "foundation/look_ahead.h"
#include "source/node.h"

namespace model {

// Asked before case `at` of `caseList` (`count` cases) is compiled.
[[gnu::always_inline]] inline void loadCasesAhead(const qeAbstractNode& caseList, size_t at, size_t count) {
    constexpr size_t kManyCases = 256, kStep = 4;
    if (count < kManyCases || at + 5 * kStep >= count) return;
    // A case's body, and the first two nodes of a list.
    const auto bodyOf = [](const qeAbstractNode* entry) -> const qeAbstractNode* {
        return entry != nullptr && entry->operands.size() > 1 ? entry->operands.data()[1].get() : nullptr;
    };
    const auto askForFirstTwo = [](const NodeList& list) {
        const size_t size = list.size();
        const _KNode<qeAbstractNode>* items = list.data();
        if (size > 0) qestl::touch(items[0].get());
        if (size > 1) qestl::touch(items[1].get());
    };
    const _KNode<qeAbstractNode>* cases = caseList.operands.data();
    qestl::touch(cases[at + 5 * kStep].get());
    if (const qeAbstractNode* entry = cases[at + 4 * kStep].get()) qestl::touch(entry->operands.data());
    if (const qeAbstractNode* entry = cases[at + 3 * kStep].get()) askForFirstTwo(entry->operands);
    if (const qeAbstractNode* body = bodyOf(cases[at + 2 * kStep].get())) {
        qestl::touch(body->operands.data());
        qestl::touch(body->children.data());
    }
    if (const qeAbstractNode* body = bodyOf(cases[at + kStep].get())) {
        askForFirstTwo(body->operands);
        askForFirstTwo(body->children);
    }
}

}  // namespace model
