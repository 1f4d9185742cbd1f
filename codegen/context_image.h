// The compile context's records as the parts of a program image.
#pragma once

#include "codegen/image_parts.h"

class CompileContext;

namespace codegen {

// Lists 0 to 2 (list 3 is never laid out), the first heap behind its
// record, the resources, the import table and the two tables.
ImageParts imagePartsOf(CompileContext& context);

}  // namespace codegen
