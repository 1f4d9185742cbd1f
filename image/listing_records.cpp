// The model cannot list its table records yet: an image holding one is
// reported as one the listing cannot read.
#include "image/listing_records.h"

uint64_t listTableRecord(const uint8_t*, uint64_t, uint64_t at, uint32_t, qestl::qestringA&) { return at; }
