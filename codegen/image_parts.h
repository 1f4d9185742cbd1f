// The records of a program image in the order they are laid out, as the
// compile context holds them: the three code lists, the first heap (its
// record, then its members), the resources, the import table, the
// relocation table and the import module table. Addresses and operand
// resolution walk the same parts the image writer encodes.
#pragma once

#include <cstdint>

#include "foundation/smart_ptr.h"
#include "model/container.h"
#include "model/ircode.h"
#include "model/model_context.h"

namespace codegen {

// Section values, in the header's order: the ends of the three code lists,
// of the resources, of the import table and of the two tables (the last is
// also the symbol table's address).
enum ImageSection { kMainEnd, kSecondEnd, kThirdEnd, kResourcesEnd, kImportTableEnd, kRelocationsEnd, kModulesEnd };
constexpr int kImageSections = 7;

// A relocation entry takes 64 bytes: its record, then zeros.
constexpr uint64_t kRelocationHeadSize = 32;
constexpr uint64_t kRelocationEntrySize = 64;
constexpr uint64_t kModuleHeadSize = 16;
constexpr uint64_t kModuleEntrySize = 16;

class LentBytes;
class ResourceTable;

struct ImageParts {
    model::ModelContext* context = nullptr;
    // The lent records' bytes kept between compilations; null when the
    // built-ins are not lent.
    LentBytes* lentBytes = nullptr;
    const qestl::SmartPtrVector* codeLists[3] = {};
    model::cbircode* heapRecord = nullptr;
    model::Container* heap = nullptr;
    const qestl::SmartPtrVector* resources = nullptr;
    // Where class records find their names as they are placed.
    const ResourceTable* resourceTable = nullptr;
    model::cbircode* importTable = nullptr;
    // The two table heads (opcodes 164 with two operands, 165 with one);
    // operand 0 takes the entry count as a long immediate.
    model::cbircode* relocationHead = nullptr;
    const qestl::SmartPtrVector* relocations = nullptr;
    model::cbircode* moduleHead = nullptr;
    const qestl::SmartPtrVector* modules = nullptr;
};

// The first two code lists as the first round of resolution placed them:
// a record's place follows from the sizes of those before it, and a second
// walk over millions of records waited for each again. Not placed when a
// record's size could change after its resolution (a class record) or a
// further round was needed.
struct CodePlacement {
    bool placed = false;
    size_t lengths[2] = {};  // of the lists when placed
    uint64_t ends[2] = {};
    uint64_t lined = 0;  // records with a source position
};

// Gives every record its address from the first body address on (the first
// two code lists kept where `placement` put them, when it did) and fills the
// section values; the count of records of the first two lists that have a
// source position (the lines of the debug record).
uint64_t assignImageAddresses(const ImageParts& parts, const CodePlacement& placement,
                              uint64_t sections[kImageSections]);

// Resolves the operands of every record, round after round, until the code
// lists, the heap record and the heap's members are all resolved (the
// resources and tables are resolved each round but do not decide). Bounded:
// resolving always settles, so a round that does not is an internal fault.
void resolveImageOperands(const ImageParts& parts, CodePlacement& placement);

// The heap members start behind a padding that puts them at 24 modulo 32:
// 2 to 33 bytes, the first holding the length.
inline uint64_t heapPadding(uint64_t heapRecordEnd) { return 33 - ((heapRecordEnd + 9) % 32); }

}  // namespace codegen
