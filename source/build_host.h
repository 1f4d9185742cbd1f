// What the node builders need from the parse listener that runs them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/qestring.h"

class BuildHost {
public:
    // Index of the file being parsed in the project's file table.
    virtual uint32_t fileIndex() const = 0;
    // Logs a syntax error at a 0-based line and column and fails the parse.
    virtual void reportBuildError(const char* message, uint32_t line, uint32_t column) = 0;
    // The HTML fragment a generated page prints by index; null when absent.
    virtual const qestl::qestringA* htmlFragment(size_t index) const = 0;

protected:
    ~BuildHost() = default;
};
