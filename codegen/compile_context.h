// The root object of one compilation. Only what the compile pipeline already
// reads is here; the scopes, code lists and tables join it with the code
// generator.
#pragma once

#include <cstdint>

#include "foundation/qestring.h"
#include "source/node.h"
#include "source/source_project.h"

class IRObject;

class CompileContext {
public:
    CompileContext() = default;
    CompileContext(const CompileContext&) = delete;
    CompileContext& operator=(const CompileContext&) = delete;

    // Releases the compile state (code, tables, diagnostics); the source
    // table stays.
    void reset();
    // Settles every operand, then lays out the image addresses; called once
    // after a clean semantic pass, before any writer.
    void resolveOperands();
    void assignAddresses();

    // The error stop after the semantic pass: the message goes to the
    // captured-diagnostics buffer when there is one, else to the log.
    void reportCompileStopped();

    // Runs the declaration pass over `body` (the members of `scope`, or the
    // whole tree for no scope) until a cycle declares nothing new, then
    // reports the deferred errors left. Defined in declare/: codegen never
    // calls up into the compile library.
    void declareUntilStable(IRObject* scope, const _KNode<qeAbstractNode>& body,
                            const _KNode<qeAbstractNode>& declaration);

    SourceProject project;
    uint32_t errorCount = 0;
    uint32_t semanticErrorCount = 0;
    qestl::qestringA* errorMessages = nullptr;
    bool errorMessagesMarked = false;
};
