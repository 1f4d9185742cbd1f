// The image bytes of the lent built-ins (driver/builtin_lending.h). Every
// compilation of a process that lends them lays out the same leading
// records of the third list (a thousand built-in methods) and the same
// leading resources (their link names), with the same state, only shifted
// by what the source added before them. Encoding them again cost more than
// compiling a small source: their bytes are made once, from a compilation's
// own encoding, and written again with what moved recomputed (each
// reference by its target's address, each reflection entry by its
// position). A record or item the compilation wrote, or one whose bytes
// depend on more than that, ends the run: it and the rest are encoded as
// always. Some uses encode the run anyway and compare, so that a dependence
// missed here is an internal fault within a few compilations rather than a
// wrong image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "foundation/byte_io.h"
#include "foundation/smart_ptr.h"
#include "foundation/vector.h"
#include "model/ircode.h"

namespace codegen {

class LentBytes {
public:
    // How the image writer encodes one record of the third list: its
    // reflection entry to `aux` (a tag, the position, then the type operand
    // at base 0), the record to `out`, both as if at position `at`. The
    // type operand alone, at another base, shows whether it depends on
    // addresses.
    class RecordEncoder {
    public:
        virtual void encode(model::cbircode& record, qestl::ByteWriter& out, qestl::ByteWriter& aux, uint64_t at) = 0;
        virtual void typeOperand(model::cbircode& record, qestl::ByteWriter& aux, uint64_t base) = 0;

    protected:
        ~RecordEncoder() = default;
    };

    // Writes the leading lent records of `list` from position out.position()
    // on, their reflection entries to `aux`; answers how many it wrote (the
    // caller encodes the rest).
    size_t writeLeadingRecords(const qestl::SmartPtrVector& list, qestl::ByteWriter& out, qestl::ByteWriter& aux,
                               RecordEncoder& encoder);

    // The same for the leading lent resource items (codegen::ResourceItem),
    // whose bytes do not depend on their place; their bytes are added to
    // `total`.
    size_t writeLeadingItems(const qestl::SmartPtrVector& items, qestl::ByteWriter& out, int64_t& total);

private:
    // A reference among the record bytes: the value at `at` was written for
    // the target at `targetAddress`.
    struct Reference {
        size_t at;
        const model::cbircode* target;
        uint64_t targetAddress;
    };
    struct Run {
        bool made = false;
        std::vector<const model::cbircode*> records;
        // The records, and what else their reflection entries describe (a
        // method's parameters): one a compilation wrote makes the bytes stale.
        std::vector<const model::cbircode*> guards;
        qestl::ByteVector bytes, aux;
        std::vector<Reference> references;
        std::vector<size_t> positions;  // of the reflection entries' position fields in aux
        uint64_t start = 0;
        uint64_t uses = 0;
    };
    enum class Use { kEncode, kMake, kWrite, kCheck };

    static Use useOf(Run& run, const qestl::SmartPtrVector& list, bool items);
    // The run's bytes as they lie from `at` on; false when a record they
    // refer to has no address.
    static bool place(const Run& run, uint64_t at, qestl::ByteVector& bytes, qestl::ByteVector& aux);
    void makeRecords(const qestl::SmartPtrVector& list, uint64_t at, const qestl::ByteVector& bytes,
                     const qestl::ByteVector& aux, const std::vector<size_t>& ends, const std::vector<size_t>& auxEnds,
                     RecordEncoder& encoder);

    Run records_, items_;
    // The placed bytes, their room kept from one compilation to the next.
    qestl::ByteVector placed_, placedAux_;
};

}  // namespace codegen
