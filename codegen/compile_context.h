// The root object of one compilation. Only what the compile pipeline already
// reads is here; the scopes, code lists and tables join it with the code
// generator. Members that drive the declaration pass (declareUntilStable)
// are declared here but defined in declare/, so that codegen never links
// against the compile library above it.
#pragma once

#include <cstdint>

#include "foundation/qestring.h"
#include "source/source_project.h"

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

    SourceProject project;
    uint32_t errorCount = 0;
    uint32_t semanticErrorCount = 0;
    qestl::qestringA* errorMessages = nullptr;
    bool errorMessagesMarked = false;
};
