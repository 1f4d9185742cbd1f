// Positions in the servlet source generated from a server page, traced back
// to the file, line and column of the page (or included page) each byte was
// copied from, so that nodes and diagnostics name page lines.
#pragma once

#include <cstdint>

#include "foundation/vector.h"
#include "source/page_text.h"
#include "syntax/source_input.h"

// The texts page bytes were copied from, by file index, each with the start
// of every line, so that a position is found without counting from the top.
class PageOrigins {
public:
    // The text stays the caller's and must outlive the parse.
    void add(uint32_t fileIndex, const char* text, uint32_t length);
    // The text added under `from` is known as `to` from now on.
    void renumber(uint32_t from, uint32_t to);
    // The 0-based line and column of a byte of the file's text; false for a
    // file not added.
    bool position(uint32_t fileIndex, uint32_t offset, uint32_t& line, uint32_t& column) const;

private:
    struct Origin {
        uint32_t fileIndex;
        uint32_t length;
        qestl::U32Vector lineStarts;
    };
    const Origin* find(uint32_t fileIndex) const;

    qestl::qevector<Origin> origins_;
    mutable size_t lastFound_ = 0;
};

// The input of a parse whose text was generated from a page.
struct PageSourceInput : SourceInput {
    const PageText* generated = nullptr;  // the text being parsed, with its segments
    const PageOrigins* origins = nullptr;
};

// A position of the generated text as the page gives it: the file, line and
// column of the byte at `offset`; false (nothing changed) for a byte the
// translation wrote itself or for an input that is not a page's.
bool pagePositionAt(const SourceInput* input, uint32_t offset, uint32_t& fileIndex, uint32_t& line,
                    uint32_t& column);

// The position hook of every input. For a byte copied from a page, the
// token's file index, line and column become those of the byte in that page.
// Offsets and the input stay those of the generated text: reduced records
// take their span from the offsets of their first and last tokens, which
// must therefore lie in one text. Pieces the translation wrote keep their
// generated positions.
SourceInput* mapKspPosition(uint32_t fileIndex, uint32_t startOffset, uint32_t* recordFileIndex,
                            uint32_t* recordStartOffset, uint32_t* recordStartLine, uint32_t* recordStartColumn,
                            SourceInput* recordInput);

// 0-based line and column of a byte offset in a text.
void lineAndColumnAt(const char* text, uint32_t length, uint32_t offset, uint32_t& line, uint32_t& column);
