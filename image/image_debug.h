// The debug record of a compilation, gathered from the compile context once
// every record has its address.
#pragma once

#include "image/debug_record.h"

class CompileContext;

// The sources, the globals of the first heap, the lines of the main and
// second code lists (instructions with a source node; counted now, noted
// while the image is encoded, so the context must outlive the record) and
// the functions the method compiler registered, in their creation order.
void collectDebugRecord(CompileContext& context, DebugRecord& record);
