#include "source/page_position.h"

void lineAndColumnAt(const char* text, uint32_t length, uint32_t offset, uint32_t& line, uint32_t& column) {
    line = 0;
    column = 0;
    if (offset > length) offset = length;
    advancePosition(text, offset, line, column);
}

SourceInput* mapKspPosition(uint32_t fileIndex, uint32_t startOffset, uint32_t*, uint32_t*, uint32_t* recordStartLine,
                            uint32_t* recordStartColumn, SourceInput* recordInput) {
    // Only page parses set a page text; every other input passes unchanged.
    if (recordInput == nullptr || recordInput->positionHook != &mapKspPosition) return recordInput;
    auto* input = static_cast<PageSourceInput*>(recordInput);
    if (input->generated == nullptr || input->pageText == nullptr) return recordInput;
    const PageSegment* segment = input->generated->segmentAt(startOffset);
    if (segment == nullptr || segment->textId != fileIndex) return recordInput;
    const uint32_t pageOffset = segment->origin + (startOffset - segment->start);
    lineAndColumnAt(input->pageText, input->pageLength, pageOffset, *recordStartLine, *recordStartColumn);
    return recordInput;
}
