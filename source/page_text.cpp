#include "source/page_text.h"

#include <algorithm>

#include "source/source_project.h"

namespace {

void appendShifted(qestl::qevector<PageSegment>& out, const qestl::qevector<PageSegment>& pieces, uint32_t by) {
    for (const PageSegment& piece : pieces) {
        if (piece.end > piece.start)
            out.pushBack(PageSegment{piece.start + by, piece.end + by, piece.textId, piece.origin});
    }
}

}  // namespace

uint32_t newTextId() {
    MappedText probe;
    probe.assign("", 0);
    return probe.id;
}

void PageText::assign(const char* bytes, size_t length) {
    id = newTextId();
    text.assign(bytes, length);
    segments.clear();
    segments.pushBack(PageSegment{0, static_cast<uint32_t>(text.length()), id, 0});
}

void PageText::splitAt(uint32_t offset) {
    for (size_t i = 0; i < segments.size(); ++i) {
        PageSegment segment = segments[i];
        if (offset <= segment.start || offset >= segment.end) continue;
        PageSegment right{offset, segment.end, segment.textId, segment.origin + (offset - segment.start)};
        segments[i].end = offset;
        segments.insertRange(i + 1, &right, 1);
        return;
    }
}

void PageText::replace(size_t position, size_t length, const PageText& replacement) {
    if (position > text.length()) position = text.length();
    if (length > text.length() - position) length = text.length() - position;
    const uint32_t from = static_cast<uint32_t>(position);
    const uint32_t to = static_cast<uint32_t>(position + length);
    splitAt(from);
    splitAt(to);
    const uint32_t added = static_cast<uint32_t>(replacement.text.length());

    qestl::qevector<PageSegment> rebuilt;
    bool inserted = false;
    for (const PageSegment& segment : segments) {
        if (segment.end <= segment.start) continue;
        if (segment.end <= from) {
            rebuilt.pushBack(segment);
            continue;
        }
        if (!inserted) {
            appendShifted(rebuilt, replacement.segments, from);
            inserted = true;
        }
        if (segment.start >= to) {
            rebuilt.pushBack(PageSegment{segment.start - to + from + added, segment.end - to + from + added,
                                         segment.textId, segment.origin});
        }
    }
    if (!inserted) appendShifted(rebuilt, replacement.segments, from);
    segments.swap(rebuilt);
    text.replace(position, length, replacement.text.c_str(), replacement.text.length());
}

void PageText::renumber(uint32_t from, uint32_t to) {
    if (id == from) id = to;
    for (PageSegment& segment : segments) {
        if (segment.textId == from) segment.textId = to;
    }
}

const PageSegment* PageText::segmentAt(uint32_t offset) const {
    const PageSegment* first = segments.data();
    const PageSegment* last = first + segments.size();
    const PageSegment* after =
        std::upper_bound(first, last, offset, [](uint32_t at, const PageSegment& s) { return at < s.start; });
    if (after == first) return nullptr;
    const PageSegment* segment = after - 1;
    return offset < segment->end ? segment : nullptr;
}

void PageText::appendSlice(const PageText& source, size_t from, size_t to) {
    if (to > source.text.length()) to = source.text.length();
    if (from >= to) return;
    const uint32_t base = static_cast<uint32_t>(text.length());
    text.append(source.text.c_str() + from, to - from);
    const PageSegment* first = source.segments.data();
    const PageSegment* last = first + source.segments.size();
    const PageSegment* segment = std::upper_bound(
        first, last, static_cast<uint32_t>(from), [](uint32_t at, const PageSegment& s) { return at < s.start; });
    if (segment != first) --segment;
    for (; segment != last && segment->start < to; ++segment) {
        const uint32_t start = segment->start > from ? segment->start : static_cast<uint32_t>(from);
        const uint32_t end = segment->end < to ? segment->end : static_cast<uint32_t>(to);
        if (start >= end) continue;
        segments.pushBack(PageSegment{static_cast<uint32_t>(base + start - from), static_cast<uint32_t>(base + end - from),
                                      segment->textId, segment->origin + (start - segment->start)});
    }
}

void PageText::appendGenerated(const char* bytes, size_t length) {
    if (length == 0) return;
    const uint32_t base = static_cast<uint32_t>(text.length());
    text.append(bytes, length);
    segments.pushBack(PageSegment{base, static_cast<uint32_t>(base + length), newTextId(), 0});
}

void PageText::exportTo(MappedText& out) const {
    out.text = text;
    out.id = id;
    out.segments.clear();
    for (const PageSegment& segment : segments) {
        out.segments.pushBack(LineMapSegment{segment.start, segment.end, segment.textId});
    }
}

PageText PageText::slice(size_t from, size_t to) const {
    PageText piece;
    piece.id = id;
    if (to > text.length()) to = text.length();
    if (from >= to) return piece;
    piece.text.assign(text.c_str() + from, to - from);
    for (const PageSegment& segment : segments) {
        uint32_t start = segment.start > from ? segment.start : static_cast<uint32_t>(from);
        uint32_t end = segment.end < to ? segment.end : static_cast<uint32_t>(to);
        if (start >= end) continue;
        piece.segments.pushBack(PageSegment{static_cast<uint32_t>(start - from), static_cast<uint32_t>(end - from),
                                            segment.textId, segment.origin + (start - segment.start)});
    }
    return piece;
}
