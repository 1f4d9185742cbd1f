// Generated text that remembers where each of its byte ranges came from:
// server pages are rewritten piece by piece, and diagnostics in the servlet
// source must still name page lines.
#pragma once

#include <cstdint>

#include "foundation/qestring.h"
#include "foundation/vector.h"

class MappedText;

// Bytes [start, end) of the text were copied from text `textId`, beginning
// at byte `origin` of that text.
struct PageSegment {
    uint32_t start;
    uint32_t end;
    uint32_t textId;
    uint32_t origin;
};

class PageText {
public:
    // A copy of the bytes under a fresh text id, as one segment.
    void assign(const char* bytes, size_t length);
    // Replaces bytes [position, position + length) by the replacement with
    // its segments; segments are split at both ends of the range.
    void replace(size_t position, size_t length, const PageText& replacement);
    void insert(size_t position, const PageText& piece) { replace(position, 0, piece); }
    void append(const PageText& piece) { replace(text.length(), 0, piece); }
    // Appends bytes [from, to) of `source` with their segments, in time
    // linear in what is appended: texts built front to back stay linear.
    void appendSlice(const PageText& source, size_t from, size_t to);
    // Appends bytes the translation wrote itself, under a fresh text id.
    void appendGenerated(const char* bytes, size_t length);
    // Bytes [from, to) with their segments, rebased to 0.
    PageText slice(size_t from, size_t to) const;
    // Every segment of text `from` now names text `to`.
    void renumber(uint32_t from, uint32_t to);
    // The segment holding the byte, or null. Segments are kept in order.
    const PageSegment* segmentAt(uint32_t offset) const;
    // The same text and segments in the project's form.
    void exportTo(MappedText& out) const;

    qestl::qestringA text;
    qestl::qevector<PageSegment> segments;
    uint32_t id = 0;

private:
    void splitAt(uint32_t offset);
};

// A text id no other text has (shared with the project's generated texts).
uint32_t newTextId();
