// The image form of a container: kind, member count, then one entry per
// member (a 32-byte head of tag, name and link name, and a body by tag).
#include <cstring>

#include "foundation/look_ahead.h"
#include "foundation/sanitizer.h"
#include "model/class_object.h"
#include "model/container.h"
#include "model/model_context.h"
#include "model/name_string_pool.h"
#include "model/opcodes.h"

namespace model {
namespace {

constexpr uint32_t kTagBuiltinReference = 32;
constexpr uint64_t kHeadSize = 32;
constexpr uint64_t kBodySize = 32;
// A class holder's entry: the head, and a body of zeros.
constexpr uint64_t kHolderEntrySize = kHeadSize + kBodySize;

uint32_t tagOf(const IRObject& member) {
    return (member.flagsB & kFlagByBuiltinId) ? kTagBuiltinReference : member.kind;
}

bool isNativeImport(const IRObject& member) { return member.opcode == kOpNativeCall; }

// A link name given in place (a catalogue constant's) holds; the sanitized
// build checks it against the one built.
bool linkNameHolds(IRObject& member) {
    if (!member.linkNameGiven()) return false;
#if defined(KORVO_ADDRESS_SANITIZER)
    takeKnownLinkName(member, member.linkName().view());
#endif
    return true;
}

// A member's two names, as looking ahead asks for them: a class holder's
// link name is made in `room`; an object's is built first where `build`
// asks and it does not hold.
struct EntryNames {
    std::string_view name;
    std::string_view linkName;
};

EntryNames entryNames(cbircode& record, qestl::qestringA& room, bool build) {
    if (isClassHolder(record)) {
        const auto& holder = static_cast<const ClassHolder&>(record);
        holder.writeLinkName(room);
        return {holder.name(), room.view()};
    }
    IRObject& member = static_cast<IRObject&>(record);
    if (build && !linkNameHolds(member)) member.buildLinkName();
    return {member.name.view(), member.linkName().view()};
}

// Inline: a large container writes two for each of its members.
[[gnu::always_inline]] inline void writeStringRef(ModelContext& context, qestl::ByteWriter& out, std::string_view text,
                                                  uint64_t at) {
    NameStringPool& pool = context.nameStringPool();
    const uint64_t offset = pool.offsetOf(text);
    out.u64le(pool.base() + offset + 12 - at);
    out.u32le(static_cast<uint32_t>(text.size()));
}

// A class holder's entry at `entry`: its head, then a body of zeros. Apart
// from the objects' entries, which most containers hold only.
[[gnu::noinline]] void writeHolderEntry(ModelContext& context, qestl::ByteWriter& out, const ClassHolder& holder,
                                        qestl::qestringA& room, uint64_t entry) {
    holder.writeLinkName(room);
    out.u32le(kKindClassHolder);
    writeStringRef(context, out, holder.name(), entry + 4);
    writeStringRef(context, out, room.view(), entry + 16);
    out.u32le(0);
    out.zeros(kBodySize);
}

// The names of the members some places ahead are looked for in the pool
// while these are written: in a container of a million members each search
// would otherwise wait for memory on its own. A batch's prefetches go out
// together, so that their waits overlap. Each call takes four batches a step
// further: the members of the farthest, the bytes of the names of the next,
// then the places of both names in the pool (the link name built first),
// and the texts those places hold. The first call, at 0, starts all four.
// Without `searched` the names are found in place (the members were named
// in this order before): only the members are loaded and the link names
// built. A batch is four members: the lines it asks for at once are then
// about as many as the core keeps in flight; with sixteen (sixty-four
// lines of members alone) the walk waited at the asks themselves (static_fields 1M: samples
// in writing the entries 710 to 560, 100k alike). (bench/hostile_shapes.py
// static_fields.)
constexpr size_t kLookAheadBatch = 4;

[[gnu::noinline]] void lookAhead(const Container::MemberList& members, const NameStringPool& pool, size_t at,
                                 bool searched, qestl::qestringA& room) {
    constexpr size_t kBatch = kLookAheadBatch;
    const size_t count = members.size();
    const size_t first = at == 0 ? 0 : at + 3 * kBatch;
    for (size_t i = first; i < at + 4 * kBatch && i < count; ++i) {
        const char* later = reinterpret_cast<const char*>(members[i].get());
        qestl::touchLines(later, sizeof(IRObject));
    }
    for (size_t i = at == 0 ? 0 : at + 2 * kBatch; i < at + 3 * kBatch && i < count; ++i)
        qestl::touch(memberName(members[i]).data());
    for (size_t i = at == 0 ? 0 : at + kBatch; i < at + 2 * kBatch && i < count; ++i) {
        const EntryNames later = entryNames(*members[i].as<cbircode>(), room, true);
        if (!searched) continue;
        pool.prefetchPlace(later.name);
        pool.prefetchPlace(later.linkName);
    }
    if (!searched) return;
    for (size_t i = at; i < at + kBatch && i < count; ++i) {
        const EntryNames later = entryNames(*members[i].as<cbircode>(), room, false);
        pool.prefetchText(later.name);
        pool.prefetchText(later.linkName);
    }
}

}  // namespace

uint64_t Container::entrySize(const IRObject& member) const {
    uint64_t size = kHeadSize + kBodySize;
    if (tagOf(member) == kKindFunction) size += isNativeImport(member) ? 64 : 32;
    return size;
}

uint64_t Container::encodedSize() const {
    uint64_t size = 8;
    for (const qestl::SmartPtr& member : members_)
        size += isClassHolder(*member.as<cbircode>()) ? kHolderEntrySize : entrySize(*asObject(member));
    return size;
}

// What placing a member reads of it besides its first line, which the walk
// asks for: its kind and its flags, one and two lines further. Its operands,
// which the walk would ask for otherwise, are not read. (bench/hostile_shapes.py
// static_fields.)
struct KindAndFlags {
    void operator()(cbircode& record) const {
        if (isClassHolder(record)) return;
        const IRObject& member = static_cast<const IRObject&>(record);
        qestl::touch(&member.kind);
        qestl::touch(&member.flagsB);
    }
};

uint64_t Container::assignAddress(ModelContext& context, uint64_t position) {
    uint64_t entry = position + 8;
    // A large table's members are asked for some places ahead.
    forEachRecord(
        members_,
        [&](cbircode& record) {
            if (isClassHolder(record)) {
                record.assignAddress(context, entry + kHeadSize);
                entry += kHolderEntrySize;
                return;
            }
            IRObject& member = static_cast<IRObject&>(record);
            const bool placed = tagOf(member) == kKindFunction ||
                                (member.kind == kKindVariable && (kind_ != kStaticProperties || member.imported));
            if (placed) member.assignAddress(context, entry + kHeadSize);
            entry += entrySize(member);
        },
        KindAndFlags());
    return entry;
}

uint64_t Container::encode(ModelContext& context, qestl::ByteWriter& out, qestl::ByteWriter& typeStream,
                           uint64_t position) {
    const size_t start = out.position();
    out.u32le(kind_);
    out.u32le(static_cast<uint32_t>(members_.size()));
    uint64_t entry = position + 8;
    // A container of many members fills the pool as it goes: it looks
    // ahead from the start.
    constexpr size_t kManyMembers = 4096;
    NameStringPool& pool = context.nameStringPool();
    const size_t count = members_.size();
    const bool ahead = pool.outgrowsCaches() || count >= kManyMembers;
    // A class holder's link name is made here, one after the other.
    qestl::qestringA room;
    if (ahead) lookAhead(members_, pool, 0, true, room);
    size_t inPlace = pool.foundInPlace();
    for (size_t at = 0; at < count; ++at) {
        cbircode& record = *members_[at].as<cbircode>();
        if (ahead && at % kLookAheadBatch == 0) {
            // The batch before found both names of each member in place.
            const bool searched = at == 0 || pool.foundInPlace() - inPlace < 2 * kLookAheadBatch;
            inPlace = pool.foundInPlace();
            pool.expectNew(searched ? 2 * (count - at) : 0);
            lookAhead(members_, pool, at + kLookAheadBatch, searched, room);
        }
        if (isClassHolder(record)) [[unlikely]] {
            writeHolderEntry(context, out, static_cast<const ClassHolder&>(record), room, entry);
            entry += kHolderEntrySize;
            continue;
        }
        IRObject& member = static_cast<IRObject&>(record);
        if (!ahead && !linkNameHolds(member)) member.buildLinkName();  // else built when its place was asked for
        const uint32_t tag = tagOf(member);
        out.u32le(tag);
        writeStringRef(context, out, member.name.view(), entry + 4);
        writeStringRef(context, out, member.linkName().view(), entry + 16);
        out.u32le(0);
        const uint64_t body = entry + kHeadSize;
        if (tag == kKindVariable || tag == kKindClass) {
            uint64_t value = member.memberLink();
            if (tag == kKindClass || kind_ == kStaticProperties) value = member.address() - body;
            out.u64le(value);
            const uint8_t flags = (kind_ == kImageHeap || kind_ == kStaticProperties) ? 4 : 0;
            const uint32_t written = member.writeTypeOperand(out, body + 8, flags, tag == kKindVariable);
            out.zeros(24 - written);
        } else if (tag == kKindFunction) {
            const uint64_t recordSize = isNativeImport(member) ? 64 : 32;
            const size_t recordStart = out.position();
            member.encode(context, out, nullptr, body);
            const uint64_t written = out.position() - recordStart;
            if (written > recordSize)
                internalFault("internal error: the record of %s exceeds its entry", member.name.c_str());
            out.zeros(recordSize - written);
            out.u64le(typeStream.position());
            const uint8_t flags = (kind_ == kImageHeap || kind_ == kStaticMethods) ? 4 : 0;
            member.writeTypeOperand(typeStream, body, flags, false);
            out.zeros(24);
        } else if (tag == kTagBuiltinReference) {
            out.u64le(member.id());
            out.zeros(24);
        } else {
            out.zeros(kBodySize);
        }
        entry += entrySize(member);
    }
    pool.expectNew(0);
    return out.position() - start;
}

}  // namespace model
