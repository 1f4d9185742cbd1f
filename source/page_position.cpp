#include "source/page_position.h"

#include <algorithm>

void lineAndColumnAt(const char* text, uint32_t length, uint32_t offset, uint32_t& line, uint32_t& column) {
    line = 0;
    column = 0;
    if (offset > length) offset = length;
    advancePosition(text, offset, line, column);
}

void PageOrigins::add(uint32_t fileIndex, const char* text, uint32_t length) {
    if (find(fileIndex) != nullptr) return;
    Origin origin{fileIndex, length, {}};
    origin.lineStarts.pushBack(0);
    for (uint32_t i = 0; i < length; ++i) {
        if (text[i] == '\n') origin.lineStarts.pushBack(i + 1);
    }
    origins_.pushBack(origin);
}

void PageOrigins::renumber(uint32_t from, uint32_t to) {
    for (Origin& origin : origins_) {
        if (origin.fileIndex == from) origin.fileIndex = to;
    }
}

const PageOrigins::Origin* PageOrigins::find(uint32_t fileIndex) const {
    // Tokens come in runs from one file: the last one found is tried first.
    if (lastFound_ < origins_.size() && origins_[lastFound_].fileIndex == fileIndex) return &origins_[lastFound_];
    for (size_t i = 0; i < origins_.size(); ++i) {
        if (origins_[i].fileIndex == fileIndex) {
            lastFound_ = i;
            return &origins_[i];
        }
    }
    return nullptr;
}

bool PageOrigins::position(uint32_t fileIndex, uint32_t offset, uint32_t& line, uint32_t& column) const {
    const Origin* origin = find(fileIndex);
    if (origin == nullptr) return false;
    if (offset > origin->length) offset = origin->length;
    const uint32_t* starts = origin->lineStarts.data();
    const uint32_t* after = std::upper_bound(starts, starts + origin->lineStarts.size(), offset);
    line = static_cast<uint32_t>(after - starts - 1);
    column = offset - starts[line];
    return true;
}

bool pagePositionAt(const SourceInput* input, uint32_t offset, uint32_t& fileIndex, uint32_t& line,
                    uint32_t& column) {
    // Only page parses set a page text; every other input passes unchanged.
    if (input == nullptr || input->positionHook != &mapKspPosition) return false;
    const auto* page = static_cast<const PageSourceInput*>(input);
    if (page->generated == nullptr || page->origins == nullptr) return false;
    const PageSegment* segment = page->generated->segmentAt(offset);
    if (segment == nullptr) return false;
    if (!page->origins->position(segment->textId, segment->origin + (offset - segment->start), line, column))
        return false;
    fileIndex = segment->textId;
    return true;
}

SourceInput* mapKspPosition(uint32_t, uint32_t startOffset, uint32_t* recordFileIndex, uint32_t*,
                            uint32_t* recordStartLine, uint32_t* recordStartColumn, SourceInput* recordInput) {
    pagePositionAt(recordInput, startOffset, *recordFileIndex, *recordStartLine, *recordStartColumn);
    return recordInput;
}
