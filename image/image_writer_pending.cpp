// Neither the program image nor the link library can be written yet.
#include "image/image_writer.h"

bool writeImage(CompileContext&, qestl::qeistream&, CompileOptions&) { return false; }
bool writeLinkLibrary(CompileContext&, qestl::qeistream&, const CompileOptions&) { return false; }
