// The program's entry and exit methods, named by the compile pass, and the
// start-up code that calls them, emitted once the pass is over.
#pragma once

#include "foundation/smart_ptr.h"
#include "model/operand.h"
#include "source/node.h"

class CodeEmitter;

class ProgramEntry {
public:
    ProgramEntry() = default;
    ProgramEntry(const ProgramEntry&) = delete;
    ProgramEntry& operator=(const ProgramEntry&) = delete;

    // The entry method and the class whose object is `this` around its
    // call (empty for none); false, and nothing changes, for a second one.
    bool setEntry(const qestl::SmartPtr& method, const qestl::SmartPtr& owner, const _KNode<qeAbstractNode>& node);
    bool setExit(const qestl::SmartPtr& method);
    // The start-up code on the main list: a shared module installs its exit
    // method first. False when there is no entry to call.
    bool emit(CodeEmitter& emitter, bool sharedModule) const;
    void reset();

private:
    model::Operand entry_, exit_;
    qestl::SmartPtr entryClass_;
    _KNode<qeAbstractNode> entryNode_;
    bool entrySet_ = false, exitSet_ = false;
};
