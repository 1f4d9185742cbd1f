#include "codegen/lent_bytes.h"

#include <cstring>
#include <utility>

#include "codegen/resource_table.h"
#include "model/function_object.h"
#include "model/opcodes.h"

namespace codegen {
namespace {

using model::cbircode;

// Every other use of the first kCheckFirst, then one in kCheckEvery: a
// process that compiles each source twice and compares the images (the
// whole-compiler fuzz target, the regression corpus it replays) then sees
// bytes from memory next to bytes encoded and compared with memory.
constexpr uint64_t kCheckFirst = 32;
constexpr uint64_t kCheckEvery = 256;

uint64_t loadU64(const qestl::ByteVector& bytes, size_t at) { return qestl::loadU64LE(bytes.data() + at); }

void storeU64(qestl::ByteVector& bytes, size_t at, uint64_t value) { qestl::storeU64LE(bytes.data() + at, value); }

bool written(const cbircode* record) { return record->kept == model::kKeptWritten; }

// The records (or items) from the first on that are lent and unwritten and
// whose bytes can be kept: a class record writes its members' entries to
// the context's own reflection table, a file is read anew each time.
size_t leadingLent(const qestl::SmartPtrVector& list, bool items) {
    size_t lead = 0;
    for (; lead < list.size(); ++lead) {
        const cbircode* record = list[lead].as<cbircode>();
        if (record->kept == model::kNotKept || written(record)) break;
        if (!items && record->opcode == model::kOpClassRecord) break;
        if (items && static_cast<const ResourceItem*>(record)->kind() == kResourceFile) break;
    }
    return lead;
}

void compare(const qestl::ByteVector& made, const qestl::ByteVector& encoded, const char* what) {
    size_t at = 0;
    while (at < made.size() && at < encoded.size() && made[at] == encoded[at]) ++at;
    if (at != made.size() || at != encoded.size())
        model::internalFault("internal error: the lent %s written from memory differ from their encoding at byte %zu",
                             what, at);
}

void guardsOf(cbircode& record, std::vector<const cbircode*>& guards) {
    guards.push_back(&record);
    if (!record.isFunction()) return;
    for (const qestl::SmartPtr& parameter : static_cast<model::FunctionObject&>(record).parameters)
        if (parameter) guards.push_back(parameter.as<cbircode>());
}

}  // namespace

// The lead ends before the end of the run only where one of the run's
// records was written whole, and each is one of its guards. What placing
// writes into an item can end the lead too, so the items are walked (which
// reads their marks: an item is its own only guard).
LentBytes::Use LentBytes::useOf(Run& run, const qestl::SmartPtrVector& list, bool items) {
    bool same = run.made && run.records.size() <= list.size();
    for (size_t i = 0; same && i < run.records.size(); ++i) same = list[i].get() == run.records[i];
    if (!same) return leadingLent(list, items) == 0 ? Use::kEncode : Use::kMake;
    if (run.records.empty()) return Use::kEncode;
    if (items) {
        if (leadingLent(list, true) < run.records.size()) return Use::kEncode;
    } else {
        for (const cbircode* guard : run.guards)
            if (written(guard)) return Use::kEncode;
    }
    ++run.uses;
    const bool check = run.uses <= kCheckFirst ? run.uses % 2 == 1 : run.uses % kCheckEvery == 0;
    return check ? Use::kCheck : Use::kWrite;
}

bool LentBytes::place(const Run& run, uint64_t at, qestl::ByteVector& bytes, qestl::ByteVector& aux) {
    const uint64_t shift = at - run.start;
    bytes.clearKeepingBuffer();
    bytes.append(run.bytes.data(), run.bytes.size());
    for (const Reference& reference : run.references) {
        const uint64_t address = reference.target->address();
        if (address == model::kUnplaced) return false;
        storeU64(bytes, reference.at, loadU64(run.bytes, reference.at) + (address - reference.targetAddress) - shift);
    }
    aux.clearKeepingBuffer();
    aux.append(run.aux.data(), run.aux.size());
    for (size_t position : run.positions) storeU64(aux, position, loadU64(run.aux, position) + shift);
    return true;
}

size_t LentBytes::writeLeadingRecords(const qestl::SmartPtrVector& list, qestl::ByteWriter& out, qestl::ByteWriter& aux,
                                      RecordEncoder& encoder) {
    const Use use = useOf(records_, list, false);
    if (use == Use::kEncode) return 0;
    const uint64_t at = out.position();
    if (use != Use::kMake && !place(records_, at, placed_, placedAux_)) {
        --records_.uses;  // counted as a use of the bytes, which it is not
        return 0;
    }
    if (use == Use::kWrite) {
        out.bytes(placed_.data(), placed_.size());
        aux.bytes(placedAux_.data(), placedAux_.size());
        return records_.records.size();
    }
    const size_t count = use == Use::kCheck ? records_.records.size() : leadingLent(list, false);
    qestl::ByteVector bytes, auxBytes;
    qestl::ByteWriter encoded(bytes), encodedAux(auxBytes);
    std::vector<size_t> ends, auxEnds;
    for (size_t i = 0; i < count; ++i) {
        encoder.encode(*list[i].as<cbircode>(), encoded, encodedAux, at + bytes.size());
        ends.push_back(bytes.size());
        auxEnds.push_back(auxBytes.size());
    }
    if (use == Use::kCheck) {
        compare(placed_, bytes, "records");
        compare(placedAux_, auxBytes, "records' reflection entries");
    } else {
        makeRecords(list, at, bytes, auxBytes, ends, auxEnds, encoder);
    }
    out.bytes(bytes.data(), bytes.size());
    aux.bytes(auxBytes.data(), auxBytes.size());
    return count;
}

// Keeps the records from the first on whose bytes depend on their place
// only through references to lent records and their reflection entries'
// positions.
void LentBytes::makeRecords(const qestl::SmartPtrVector& list, uint64_t at, const qestl::ByteVector& bytes,
                            const qestl::ByteVector& aux, const std::vector<size_t>& ends,
                            const std::vector<size_t>& auxEnds, RecordEncoder& encoder) {
    Run run;
    run.made = true;
    run.start = at;
    size_t begin = 0, auxBegin = 0;
    for (size_t i = 0; i < ends.size(); ++i) {
        cbircode& record = *list[i].as<cbircode>();
        std::vector<const cbircode*> guards;
        guardsOf(record, guards);
        bool keep = true;
        for (const cbircode* guard : guards) keep = keep && !written(guard);
        // Opcode, then 12 bytes an operand: a kind word and the value.
        keep = keep && ends[i] - begin >= 4 + 12 * size_t{record.operandCount} && auxEnds[i] - auxBegin >= 12 &&
               loadU64(aux, auxBegin + 4) == at + begin;
        std::vector<Reference> references;
        for (uint32_t j = 0; keep && j < record.operandCount; ++j) {
            const model::Operand& operand = std::as_const(record.operands)[j];
            if (!operand.target) continue;
            const auto* target = operand.target.as<cbircode>();
            const size_t value = begin + 4 + 12 * size_t{j} + 4;
            keep = operand.link() == nullptr && target->kept != model::kNotKept &&
                   target->address() != model::kUnplaced &&
                   loadU64(bytes, value) == static_cast<uint64_t>(operand.encodedValue());
            references.push_back(Reference{value, target, target->address()});
        }
        if (keep) {
            // A type operand that names an address differs at another base.
            qestl::ByteVector type;
            qestl::ByteWriter typeWriter(type);
            encoder.typeOperand(record, typeWriter, 1);
            keep = type.size() == auxEnds[i] - auxBegin - 12 &&
                   std::memcmp(type.data(), aux.data() + auxBegin + 12, type.size()) == 0;
        }
        if (!keep) break;
        run.records.push_back(&record);
        run.guards.insert(run.guards.end(), guards.begin(), guards.end());
        run.references.insert(run.references.end(), references.begin(), references.end());
        run.positions.push_back(auxBegin + 4);
        begin = ends[i];
        auxBegin = auxEnds[i];
    }
    run.bytes.append(bytes.data(), begin);
    run.aux.append(aux.data(), auxBegin);
    records_ = std::move(run);
}

size_t LentBytes::writeLeadingItems(const qestl::SmartPtrVector& items, qestl::ByteWriter& out, int64_t& total) {
    const Use use = useOf(items_, items, true);
    if (use == Use::kEncode) return 0;
    if (use == Use::kWrite) {
        out.bytes(items_.bytes.data(), items_.bytes.size());
        total += static_cast<int64_t>(items_.bytes.size());
        return items_.records.size();
    }
    const size_t count = use == Use::kCheck ? items_.records.size() : leadingLent(items, true);
    qestl::ByteVector bytes;
    qestl::ByteWriter encoded(bytes);
    // A failure is left to the table, which writes every item again.
    for (size_t i = 0; i < count; ++i)
        if (items[i].as<ResourceItem>()->write(encoded) < 0) return 0;
    if (use == Use::kCheck) {
        compare(items_.bytes, bytes, "resources");
    } else {
        items_ = Run();
        items_.made = true;
        for (size_t i = 0; i < count; ++i) items_.records.push_back(items[i].as<cbircode>());
        items_.bytes = bytes;
    }
    out.bytes(bytes.data(), bytes.size());
    total += static_cast<int64_t>(bytes.size());
    return count;
}

}  // namespace codegen
