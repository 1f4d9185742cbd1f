// Positions in the servlet source generated from a server page, traced back
// to lines and columns of the page, so that diagnostics name page lines.
#pragma once

#include <cstdint>

#include "source/page_text.h"
#include "syntax/source_input.h"

// The input of a parse whose text was generated from a page.
struct PageSourceInput : SourceInput {
    const PageText* generated = nullptr;  // the text being parsed, with its segments
    const char* pageText = nullptr;       // the page as read (includes expanded)
    uint32_t pageLength = 0;
};

// The position hook of every input. For a byte copied from the page itself,
// the token's line and column become those of the byte in the page. Offsets
// and the input stay those of the generated text: reduced records take their
// span from the offsets of their first and last tokens, which must therefore
// lie in one text. Pieces the translation wrote, and text from included
// pages, keep their generated positions.
SourceInput* mapKspPosition(uint32_t fileIndex, uint32_t startOffset, uint32_t* recordFileIndex,
                            uint32_t* recordStartOffset, uint32_t* recordStartLine, uint32_t* recordStartColumn,
                            SourceInput* recordInput);

// 0-based line and column of a byte offset in a text.
void lineAndColumnAt(const char* text, uint32_t length, uint32_t offset, uint32_t& line, uint32_t& column);
