// The image form of a container: kind, member count, then one entry per
// member (a 32-byte head of tag, name and link name, and a body by tag).
#include <cstring>

#include "model/container.h"
#include "model/model_context.h"
#include "model/name_string_pool.h"
#include "model/opcodes.h"

namespace model {
namespace {

constexpr uint32_t kTagBuiltinReference = 32;
constexpr uint64_t kHeadSize = 32;
constexpr uint64_t kBodySize = 32;

uint32_t tagOf(const IRObject& member) {
    return (member.flagsB & kFlagByBuiltinId) ? kTagBuiltinReference : member.kind;
}

bool isNativeImport(const IRObject& member) { return member.opcode == kOpNativeCall; }

}  // namespace

uint64_t Container::entrySize(const IRObject& member) const {
    uint64_t size = kHeadSize + kBodySize;
    if (tagOf(member) == kKindFunction) size += isNativeImport(member) ? 64 : 32;
    return size;
}

uint64_t Container::encodedSize() const {
    uint64_t size = 8;
    for (const qestl::SmartPtr& member : members_) size += entrySize(*asObject(member));
    return size;
}

uint64_t Container::assignAddress(ModelContext& context, uint64_t position) {
    uint64_t entry = position + 8;
    for (const qestl::SmartPtr& held : members_) {
        IRObject& member = *asObject(held);
        const bool variable = member.kind == kKindVariable || member.kind == kKindClassHolder;
        const bool placed = tagOf(member) == kKindFunction || (variable && (kind_ != kStaticProperties || member.imported));
        if (placed) member.assignAddress(context, entry + kHeadSize);
        entry += entrySize(member);
    }
    return entry;
}

void Container::writeStringRef(ModelContext& context, qestl::ByteWriter& out, std::string_view text, uint64_t at) {
    NameStringPool& pool = context.nameStringPool();
    const uint64_t offset = pool.offsetOf(text);
    out.u64le(pool.base() + offset + 12 - at);
    out.u32le(static_cast<uint32_t>(text.size()));
}

uint64_t Container::encode(ModelContext& context, qestl::ByteWriter& out, qestl::ByteWriter& typeStream,
                           uint64_t position) {
    const size_t start = out.position();
    out.u32le(kind_);
    out.u32le(static_cast<uint32_t>(members_.size()));
    uint64_t entry = position + 8;
    // The names of the members some places ahead are looked for in the
    // pool while these are written: in a container of a million members
    // each search would otherwise wait for memory on its own. A batch's
    // prefetches go out together, so that their waits overlap; the texts a
    // batch's places hold are asked for a batch later.
    constexpr size_t kBatch = 16;
    constexpr size_t kManyMembers = 4096;
    const NameStringPool& pool = context.nameStringPool();
    const size_t count = members_.size();
    auto prefetchPlaces = [&](size_t from) {
        for (size_t at = from; at < from + kBatch && at < count; ++at) {
            IRObject& later = *asObject(members_[at]);
            later.buildLinkName();
            pool.prefetchPlace(later.name.view());
            pool.prefetchPlace(later.linkName().view());
        }
    };
    auto prefetchTexts = [&](size_t from) {
        for (size_t at = from; at < from + kBatch && at < count; ++at) {
            const IRObject& later = *asObject(members_[at]);
            pool.prefetchText(later.name.view());
            pool.prefetchText(later.linkName().view());
        }
    };
    // A container of many members fills the pool as it goes: it looks
    // ahead from the start.
    const bool ahead = pool.outgrowsCaches() || count >= kManyMembers;
    if (ahead) {
        prefetchPlaces(0);
        prefetchPlaces(kBatch);
        prefetchTexts(0);
    }
    for (size_t at = 0; at < count; ++at) {
        IRObject& member = *asObject(members_[at]);
        if (!ahead) member.buildLinkName();  // else built when its place was asked for
        else if (at % kBatch == 0) {
            prefetchPlaces(at + 2 * kBatch);
            prefetchTexts(at + kBatch);
        }
        const uint32_t tag = tagOf(member);
        out.u32le(tag);
        writeStringRef(context, out, member.name.view(), entry + 4);
        writeStringRef(context, out, member.linkName().view(), entry + 16);
        out.u32le(0);
        const uint64_t body = entry + kHeadSize;
        if (tag == kKindVariable || tag == kKindClass) {
            uint64_t value = member.memberLink;
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
            if (written > recordSize) internalFault("internal error: the record of %s exceeds its entry", member.name.c_str());
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
    return out.position() - start;
}

}  // namespace model
