// The program's entry and exit methods, named by the compile pass, and the
// start-up code that calls them, emitted once the pass is over.
#pragma once

#include "foundation/smart_ptr.h"
#include "model/operand.h"
#include "source/node.h"

class CodeEmitter;
class CompileDiagnostics;

class ProgramEntry {
public:
    ProgramEntry() = default;
    ProgramEntry(const ProgramEntry&) = delete;
    ProgramEntry& operator=(const ProgramEntry&) = delete;

    // The entry method and the class whose object is `this` around its
    // call (empty for none); a second entry is refused with an error.
    void setEntry(const qestl::SmartPtr& method, const qestl::SmartPtr& owner, const _KNode<qeAbstractNode>& node,
                  CompileDiagnostics& diagnostics);
    void setExit(const qestl::SmartPtr& method, CompileDiagnostics& diagnostics);
    // The start-up code on the main list: a shared module installs its exit
    // method first. A program without an entry is an error, unless it is a
    // module (a warning) or a link library.
    void emit(CodeEmitter& emitter, CompileDiagnostics& diagnostics, bool sharedModule, bool linkLibrary) const;
    void reset();

private:
    model::Operand entry_, exit_;
    qestl::SmartPtr entryClass_;
    _KNode<qeAbstractNode> entryNode_;
    bool entrySet_ = false, exitSet_ = false;
};
