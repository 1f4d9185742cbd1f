#include "image/image_layout.h"

#include <cinttypes>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "codegen/image_parts.h"
#include "codegen/instructions.h"
#include "codegen/lent_bytes.h"
#include "foundation/crc32.h"
#include "image/image_header.h"
#include "model/class_object.h"
#include "model/opcodes.h"

namespace {

using codegen::ImageSection;
using model::cbircode;

constexpr uint32_t kReflectionEntryTag = 0x5F00;
constexpr uint32_t kHeaderFieldsAt = 8;
constexpr uint64_t kSymbolHeadSize = 12;
constexpr uint64_t kReflexHeadSize = 16;
// Bytes a streamed layout gathers before they go out. Three pieces are held
// at most (one being encoded, one waiting, one being summed and written):
// less than the one buffer of a megabyte an image once waited in.
constexpr size_t kSpillBytes = size_t{1} << 18;
// A buffer's room: a piece passes the spill size by its last record. Made
// at once, a buffer no longer grows (and copies itself) a dozen times.
constexpr size_t kPieceRoom = kSpillBytes + kSpillBytes / 8;
// Until the spill size is out, the pieces are small and go out where they
// are taken, through one small buffer: a small image held whole touched
// dozens of pages for nothing else. Past it they grow to the spill size.
constexpr size_t kFirstSpillBytes = size_t{1} << 14;
constexpr size_t kFirstPieceRoom = kFirstSpillBytes + kFirstSpillBytes / 8;

// The bytes of the image on their way out: each piece is summed into the
// checksum of the region it lies in (the section values, then regions 1 to
// 3; the prefix and header are not summed) and written to the output.
// Past the first spill size, pieces are summed and written on a second
// thread, in the order they came, while the next piece is encoded;
// `finish` waits for the last one. Once asked to, a piece that would wait
// for the worker is summed where it is taken meanwhile: the worker joins its
// checksums to the regions' and only writes it.
class ImageSink final : public qestl::ByteSink {
public:
    ImageSink(qestl::qeistream& out, uint64_t mainEnd, uint64_t secondEnd)
        : out_(out), bounds_{0, kImageHeadBytes, kImageBodyStart, mainEnd, secondEnd, UINT64_MAX} {}
    ~ImageSink() { finish(); }
    ImageSink(const ImageSink&) = delete;
    ImageSink& operator=(const ImageSink&) = delete;

    // The writer spills here, in small pieces first.
    void takeFrom(qestl::ByteWriter& writer) {
        writer_ = &writer;
        writer.bytes().reserve(kFirstPieceRoom);
        writer.spillTo(this, kFirstSpillBytes);
    }

    // A large block (the name pool, the reflection table: tens of megabytes
    // in a program of a million classes) goes out in pieces of the spill
    // size: copied whole for the worker, it was held twice at the peak.
    void take(const uint8_t* data, size_t count) override {
        do {
            const size_t piece = count < kSpillBytes ? count : kSpillBytes;
            handOver(data, piece, nullptr);
            data += piece;
            count -= piece;
        } while (count > 0);
    }
    // The writer's buffer changes places with the piece the worker is done
    // with: hundreds of megabytes are not copied once more on their way out.
    void takeBuffer(qestl::ByteVector& bytes) override { handOver(bytes.data(), bytes.size(), &bytes); }

    // From now on a piece that would wait for the worker is summed here
    // meanwhile: what follows comes faster than one thread sums and writes
    // it. Before, the encoding is the slower side, and would only be held up.
    void sumWhileWaiting() { summingWhileWaiting_ = true; }

    // Every piece taken is summed and written when this returns.
    void finish() {
        if (!worker_.joinable()) return;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            closed_ = true;
        }
        changed_.notify_all();
        worker_.join();
    }

    void sum(const uint8_t* data, size_t count) {
        forEachPart(position_, data, count, [this](int part, const uint8_t* bytes, size_t length) {
            if (part > 0) crcs_[part - 1] = qestl::crc32Update(bytes, length, crcs_[part - 1]);
        });
        position_ += count;
    }

    void write(const uint8_t* data, size_t count) {
        if (!failed_) failed_ = !qestl::writeInPieces(out_, data, count);
    }

    // The four checksums of the header: the whole image behind the header
    // (the section values and the three regions one after the other), then
    // each region.
    void checksums(uint64_t end, uint32_t (&out)[4]) const {
        uint32_t whole = crcs_[0];
        for (int i = 1; i < 4; ++i) {
            const uint64_t start = bounds_[i + 1];
            const uint64_t stop = i < 3 ? bounds_[i + 2] : end;
            whole = qestl::crc32Combine(whole, crcs_[i], stop > start ? stop - start : 0);
            out[i] = crcs_[i];
        }
        out[0] = whole;
    }

    bool failed() const { return failed_; }

private:
    // The checksums of a piece on its own, one for each region it reaches
    // into (none: the piece is not summed yet).
    struct PieceSums {
        int count = 0;
        int part[6] = {};
        uint32_t crc[6] = {};
        uint64_t length[6] = {};
    };

    // Calls each(part, bytes, length) for the stretches of the piece at `at`
    // that lie in one part each (0: the prefix and header, then the section
    // values, then regions 1 to 3).
    template <typename Each>
    void forEachPart(uint64_t at, const uint8_t* data, size_t count, Each&& each) const {
        int part = 0;
        while (count > 0) {
            while (part < 5 && at >= bounds_[part + 1]) ++part;
            const uint64_t until = bounds_[part + 1] - at;
            const size_t piece = until < count ? static_cast<size_t>(until) : count;
            each(part, data, piece);
            at += piece;
            data += piece;
            count -= piece;
        }
    }

    PieceSums sumsOf(uint64_t at, const uint8_t* data, size_t count) const {
        PieceSums sums;
        forEachPart(at, data, count, [&sums](int part, const uint8_t* bytes, size_t length) {
            sums.part[sums.count] = part;
            sums.crc[sums.count] = qestl::crc32Update(bytes, length, 0);
            sums.length[sums.count++] = length;
        });
        return sums;
    }

    void join(const PieceSums& sums, size_t count) {
        for (int i = 0; i < sums.count; ++i)
            if (sums.part[i] > 0)
                crcs_[sums.part[i] - 1] = qestl::crc32Combine(crcs_[sums.part[i] - 1], sums.crc[i], sums.length[i]);
        position_ += count;
    }

    // The piece goes out, `buffer` (holding it, when given) left empty.
    void handOver(const uint8_t* data, size_t count, qestl::ByteVector* buffer) {
        const uint64_t at = handed_;
        handed_ += count;
        // A small image is all out before a thread would have started.
        if (!worker_.joinable()) {
            sum(data, count);
            write(data, count);
            if (buffer != nullptr) buffer->reset(0);
            if (at < kSpillBytes && handed_ >= kSpillBytes) growPieces();
            return;
        }
        std::unique_lock<std::mutex> lock(mutex_);
        PieceSums sums;
        if (waiting_ && summingWhileWaiting_) {
            lock.unlock();
            sums = sumsOf(at, data, count);
            lock.lock();
        }
        changed_.wait(lock, [this] { return !waiting_; });
        // The worker holds no reference to `next_` while nothing waits.
        lock.unlock();
        if (buffer != nullptr) {
            next_.swap(*buffer);
            buffer->reset(0);
            buffer->reserve(kPieceRoom);
        } else {
            next_.reset(0);
            next_.appendRange(data, count);
        }
        nextSums_ = sums;
        lock.lock();
        waiting_ = true;
        changed_.notify_all();
    }

    // Pieces of the spill size from now on, for a worker; without a second
    // thread they are summed and written where they are taken.
    void growPieces() {
        writer_->spillTo(this, kSpillBytes);
        writer_->bytes().reserve(kPieceRoom);
        try {
            worker_ = std::thread([this] { drain(); });
        } catch (const std::system_error&) {}
    }

    void drain() {
        qestl::ByteVector piece;
        PieceSums sums;
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [this] { return waiting_ || closed_; });
                if (!waiting_) return;
                piece.swap(next_);
                sums = nextSums_;
                waiting_ = false;
            }
            changed_.notify_all();
            if (sums.count != 0) join(sums, piece.size());
            else sum(piece.data(), piece.size());
            write(piece.data(), piece.size());
        }
    }

    qestl::qeistream& out_;
    // The prefix and header (not summed), the section values, regions 1 to 3.
    const uint64_t bounds_[6];
    uint32_t crcs_[4] = {};
    uint64_t position_ = 0;  // summed up to here
    bool failed_ = false;
    qestl::ByteWriter* writer_ = nullptr;
    uint64_t handed_ = 0;  // bytes handed over
    bool summingWhileWaiting_ = false;
    std::thread worker_;
    std::mutex mutex_;
    std::condition_variable changed_;
    qestl::ByteVector next_;  // the piece waiting for the worker
    PieceSums nextSums_;
    bool waiting_ = false;
    bool closed_ = false;
};

// The records of the third list are found again through the reflection
// table: each adds its address and its type placeholder.
void writeReflectionEntry(cbircode& record, qestl::ByteWriter& aux, uint64_t at, uint64_t typeBase) {
    aux.u32le(kReflectionEntryTag);
    aux.u64le(at);
    record.writeTypeOperand(aux, typeBase, 1, false);
}

class ReflectedRecords final : public codegen::LentBytes::RecordEncoder {
public:
    explicit ReflectedRecords(model::ModelContext& context) : context_(context) {}

    void encode(cbircode& record, qestl::ByteWriter& out, qestl::ByteWriter& aux, uint64_t at) override {
        writeReflectionEntry(record, aux, at, 0);
        record.encode(context_, out, &aux, at);
    }
    void typeOperand(cbircode& record, qestl::ByteWriter& aux, uint64_t base) override {
        record.writeTypeOperand(aux, base, 1, false);
    }

private:
    model::ModelContext& context_;
};

class Layout {
public:
    Layout(const ImageLayoutInput& input, qestl::qeistream& stream)
        : in_(input),
          context_(*input.parts.context),
          stream_(stream),
          out_(bytes_),
          aux_(context_.typeStream()),
          sink_(stream, input.sections[codegen::kMainEnd], input.sections[codegen::kSecondEnd]) {}

    LayoutResult run() {
        // A stream that can rewrite its header takes the image as it is
        // encoded, never held whole; any other one gets it in one piece.
        streamed_ = stream_.patchesWritten();
        if (streamed_) {
            sink_.takeFrom(out_);
            stream_.expectSize(in_.sections[codegen::kModulesEnd]);
        }
        // The type stream is the reflection table: every record that names
        // types adds to it, and it closes the image.
        aux_.bytes().clear();
        out_.u32le(kImageMagic);
        out_.u32le(kImageFormatVersion);
        const uint32_t noCrcs[4] = {};
        writeImageHeaderFields(headerFields(0, noCrcs), out_);
        out_.zeros(kImageHeadBytes - out_.position());
        for (int i = 0; i < codegen::kImageSections; ++i) out_.u64le(in_.sections[i]);
        // Containers and class records name their strings relative to the
        // pool, which lies behind the tables.
        in_.names->clear();
        in_.names->setBase(in_.sections[codegen::kModulesEnd] + kSymbolHeadSize);

        const codegen::ImageParts& parts = in_.parts;
        encodeList(parts.codeLists[0], false);
        expectAt(codegen::kMainEnd);
        encodeList(parts.codeLists[1], false);
        expectAt(codegen::kSecondEnd);
        if (parts.heapRecord != nullptr) {
            encode(*parts.heapRecord);
            const uint64_t padding = codegen::heapPadding(out_.position());
            out_.u8(static_cast<uint8_t>(padding));
            out_.zeros(padding - 1);
            if (parts.heap != nullptr) parts.heap->encode(context_, out_, aux_, out_.position());
        }
        encodeList(parts.codeLists[2], true);
        expectAt(codegen::kThirdEnd);
        if (!writeResources()) return LayoutResult::ResourceFailed;
        expectAt(codegen::kResourcesEnd);
        if (parts.importTable != nullptr) encode(*parts.importTable);
        expectAt(codegen::kImportTableEnd);
        writeTable(parts.relocationHead, parts.relocations, codegen::kRelocationHeadSize,
                   codegen::kRelocationEntrySize);
        expectAt(codegen::kRelocationsEnd);
        writeTable(parts.moduleHead, parts.modules, codegen::kModuleHeadSize, codegen::kModuleEntrySize);
        expectAt(codegen::kModulesEnd);

        const qestl::ByteVector& names = in_.names->bytes();
        // The rest of the image is measured now: a file sets its room aside
        // at once (the writes into it cost the kernel less). A stream in
        // memory set aside twice the body's length already.
        if (streamed_ && stream_.writesAtPositions()) {
            const uint64_t debugBytes = in_.debug != nullptr ? debugRecordBytes(*in_.debug) : 0;
            stream_.expectSize(out_.position() + kSymbolHeadSize + names.size() + debugBytes + kReflexHeadSize +
                               aux_.bytes().size());
        }
        out_.u32le(model::kOpSymbolTable);
        out_.u64le(names.size() + kSymbolHeadSize);
        out_.bytes(names.data(), names.size());
        sink_.sumWhileWaiting();
        if (in_.debug != nullptr) encodeDebugRecord(*in_.debug, out_);
        out_.u32le(model::kOpReflex);
        out_.u32le((model::kTypeLong << 24) | model::kImmLong);
        const qestl::ByteVector& aux = aux_.bytes();
        out_.u64le(aux.size());
        out_.bytes(aux.data(), aux.size());
        return finishHeader() ? LayoutResult::Written : LayoutResult::OutputFailed;
    }

private:
    ImageHeader headerFields(uint64_t end, const uint32_t (&crcs)[4]) const {
        const ImageHeaderValues& h = in_.header;
        ImageHeader header{};
        header.version = h.version;
        header.flags = kImageHeaderFlags;
        header.word9 = 9;
        header.word4 = 4;
        header.imageOptions = h.options;
        header.timeStamp = h.timeStamp;
        header.endAddress = end;
        header.crcWhole = crcs[0];
        header.crcRegion1 = crcs[1];
        header.crcRegion2 = crcs[2];
        header.crcRegion3 = crcs[3];
        header.rawBlockLength = h.rawBlockLength;
        header.language = h.language;
        return header;
    }

    bool finishHeader() {
        const uint64_t end = out_.position();
        // Every byte is summed before the checksums are read: a streamed
        // layout sums what it hands over.
        if (streamed_) {
            out_.spill();
            sink_.finish();
        } else {
            sink_.sum(bytes_.data(), bytes_.size());
        }
        uint32_t crcs[4];
        sink_.checksums(end, crcs);
        qestl::ByteVector header;
        qestl::ByteWriter fields(header);
        writeImageHeaderFields(headerFields(end, crcs), fields);
        if (!streamed_) {
            std::memcpy(bytes_.data() + kHeaderFieldsAt, header.data(), header.size());
            sink_.write(bytes_.data(), bytes_.size());
            return !sink_.failed();
        }
        stream_.flush();
        return stream_.writeAt(kHeaderFieldsAt, header.data(), static_cast<uint32_t>(header.size())) &&
               !sink_.failed();
    }

    // A record written elsewhere than it was placed would leave every
    // offset behind it wrong: that is the compiler's fault, not the user's.
    void expectAt(ImageSection section) const {
        if (out_.position() != in_.sections[section])
            model::internalFault("internal error: image section %d ends at %" PRIu64 ", laid out for %" PRIu64,
                                 static_cast<int>(section), static_cast<uint64_t>(out_.position()),
                                 in_.sections[section]);
    }

    uint64_t encode(cbircode& record) {
        return record.encode(context_, out_, &aux_, out_.position());
    }

    // The lent records that lead the third list may come from memory.
    void encodeList(const qestl::SmartPtrVector* list, bool reflected) {
        if (list == nullptr) return;
        size_t skip = 0;
        if (reflected && in_.parts.lentBytes != nullptr) {
            ReflectedRecords encoder(context_);
            skip = in_.parts.lentBytes->writeLeadingRecords(*list, out_, aux_, encoder);
        }
        auto each = [&](cbircode& record) {
            if (skip > 0) {
                --skip;
                return;
            }
            if (reflected) writeReflectionEntry(record, aux_, out_.position(), 0);
            // Plain instructions, most of the image, are encoded in the walk.
            if (model::isPlainInstruction(record)) record.encodeInstruction(context_, out_, out_.position());
            else encode(record);
        };
        // The reflected list is the class records'.
        if (!reflected) {
            model::forEachCodeRecord(*list, each);
        } else {
            model::forEachClassRecord(*list, each);
        }
    }

    bool writeResources() {
        const uint64_t at = out_.position();
        if (in_.writeResources) return in_.writeResources(out_, at) >= 0;
        encodeList(in_.parts.resources, false);
        return true;
    }

    // A head whose operand 0 counts the entries, then entries at a fixed
    // spacing; both padded with zeros.
    void writeTable(cbircode* head, const qestl::SmartPtrVector* entries, uint64_t headSize, uint64_t entrySize) {
        const uint64_t count = entries != nullptr ? entries->size() : 0;
        const size_t start = out_.position();
        if (head != nullptr) {
            head->operands[0] = model::Operand(static_cast<int64_t>(count), model::kImmLong, model::kTypeLong);
            head->operands[0].encodedKind = model::kImmLong;
            head->operands[0].encodeValue();
            encode(*head);
        }
        padTo(start + headSize);
        for (uint64_t i = 0; i < count; ++i) {
            const size_t entry = out_.position();
            encode(*(*entries)[i].as<cbircode>());
            padTo(entry + entrySize);
        }
    }

    void padTo(uint64_t end) {
        if (out_.position() > end) model::internalFault("internal error: a table record exceeds its entry");
        out_.zeros(end - out_.position());
    }

    const ImageLayoutInput& in_;
    model::ModelContext& context_;
    qestl::qeistream& stream_;
    qestl::ByteVector bytes_;
    qestl::ByteWriter out_;
    qestl::ByteWriter& aux_;
    ImageSink sink_;
    bool streamed_ = false;
};

}  // namespace

LayoutResult layoutImage(const ImageLayoutInput& input, qestl::qeistream& out) { return Layout(input, out).run(); }
