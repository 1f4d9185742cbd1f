// The link library cannot be written yet.
#include "image/image_writer.h"

bool writeLinkLibrary(CompileContext&, qestl::qeistream&, const CompileOptions&) { return false; }
