// Tags of server pages: '<' ksp ':' name attribute="value" '/>', found with
// one regular expression so that the blanks allowed around each part are
// treated alike everywhere.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/vector.h"

// Group numbers of a tag match.
enum PageTagGroup : uint32_t { kTagWhole = 0, kTagName = 2, kTagAttribute = 4, kTagValue = 6 };

inline uint32_t tagGroupStart(uint64_t group) { return static_cast<uint32_t>(group >> 32); }
inline uint32_t tagGroupEnd(uint64_t group) { return static_cast<uint32_t>(group); }

// Every non-overlapping tag of the text from its start, each as the list of
// its groups (0 the whole tag, then 1 to 7), each group packed as start offset
// in the high and end offset in the low 32 bits. False when the pattern could
// not be compiled or a match failed for another reason than "no more tags";
// the matches found until then stay in `out`.
bool scanPageTags(qestl::VectorOfU64Vectors& out, const char* text, size_t length);
