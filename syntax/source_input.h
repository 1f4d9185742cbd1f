// The text one parse works on, with the position the scanner has reached.
#pragma once

#include <cstddef>
#include <cstdint>

class SourceProject;
// Moves a 0-based line and column over bytes: a line feed starts a new line,
// every other byte is one column.
inline void advancePosition(const char* bytes, size_t count, uint32_t& line, uint32_t& column) {
    for (size_t i = 0; i < count; ++i) {
        if (bytes[i] == '\n') {
            ++line;
            column = 0;
        } else {
            ++column;
        }
    }
}

struct SourceInput;

// Maps the position of a token in generated text back to the text it came
// from; returns the input the token is to be attributed to.
using PositionHook = SourceInput* (*)(uint32_t fileIndex, uint32_t startOffset, uint32_t* recordFileIndex,
                                      uint32_t* recordStartOffset, uint32_t* recordStartLine,
                                      uint32_t* recordStartColumn, SourceInput* recordInput);

struct SourceInput {
    PositionHook positionHook = nullptr;
    SourceProject* hookContext = nullptr;
    const char* text = nullptr;  // borrowed, not necessarily terminated
    int32_t length = 0;
    int32_t offset = 0;
    uint32_t line = 0;
    uint32_t column = 0;
    uint32_t fileIndex = 0;

    // Points the input at a text and rewinds it. Offsets are 32-bit, so a text
    // of 2 GiB or more is refused rather than cut to a wrong length.
    bool setText(const char* bytes, size_t size) {
        if (size > static_cast<size_t>(INT32_MAX)) return false;
        text = bytes;
        length = static_cast<int32_t>(size);
        offset = 0;
        line = 0;
        column = 0;
        return true;
    }

    // Moves past n bytes, counting lines at each line feed.
    void advance(int32_t n) {
        advancePosition(text + offset, static_cast<size_t>(n), line, column);
        offset += n;
    }
    // advance() over n bytes known to hold no line feed.
    void advanceInLine(int32_t n) {
        column += static_cast<uint32_t>(n);
        offset += n;
    }
};
