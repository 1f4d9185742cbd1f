// The object part of a link-library record.
#include "model/ir_object.h"
#include "model/library_io.h"

namespace model {
namespace {

constexpr size_t kReservedBytes = 28;

uint8_t bit(uint8_t byte, uint8_t mask) { return (byte & mask) ? 1 : 0; }

}  // namespace

bool IRObject::writeToLibrary(LibraryWriter& w) {
    qestl::ByteWriter& out = w.out;
    out.u32le(kind);
    out.u64le(w.identityOf(*this));
    w.writeString(name);
    w.writeString(linkName());
    w.writeString(rare().altName);
    if (!w.writeObjectRef(type) || !w.writeObjectRef(ownerResult.object())) return false;
    out.u32le(builtinClassId);
    out.u64le(memberLink());
    out.u8(bit(flagsA, kFlagOverride));
    out.u8(bit(flagsA, kFlagListed));
    out.u32le(static_cast<uint32_t>(static_cast<int32_t>(numericRank)));
    out.u8(bit(flagsB, kFlagNative));
    out.u8(bit(flagsA, kFlagWrittenToLibraries));
    if (!w.writeObjectRef(classField)) return false;
    out.u8(bit(flagsA, kFlagStatic));
    out.u32le(static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(typeCode))));
    out.u8(bit(flagsB, kFlagConst));
    out.u8(bit(flagsB, kFlagHasConstant));
    out.u32le(rare().lockMode);
    out.u8(bit(flagsA, kFlagAbstract));
    out.u32le(modifiers);
    out.u8(bit(flagsB, kFlagByBuiltinId));
    out.u8(bit(flagsA, kFlagOperator));
    out.u8(bit(flagsB, kFlagNamedConstant));
    out.u8(bit(flagsB, kFlagValueRecord));
    out.u32le(cachedHash());
    if (kind == kKindTemplateFunction && !w.writeDeclarationTree(declarationNode.node())) return false;
    out.zeros(kReservedBytes);
    return true;
}

bool IRObject::readFromLibrary(uint32_t recordKind, LibraryReader& r) {
    qestl::ByteReader& in = r.in;
    kind = recordKind;
    qestl::qestringA alternative;
    if (!readLengthString(r, name) || !readLengthString(r, linkName_) || !readLengthString(r, alternative))
        return false;
    linkNameDeferred = 0;
    if (alternative != rare().altName) editRare().altName = alternative;
    qestl::SmartPtr owner;
    if (!r.readObjectRef(type) || !r.readObjectRef(owner)) return false;
    if (owner || ownerResult.made()) ownerResult.setObject(owner);
    builtinClassId = in.u32le();
    if (const uint64_t link = in.u64le(); link != memberLink()) editRare().memberLink = link;
    setFlag(flagsA, kFlagOverride, in.u8() != 0);
    setFlag(flagsA, kFlagListed, in.u8() != 0);
    numericRank = static_cast<int8_t>(in.u32le());
    setFlag(flagsB, kFlagNative, in.u8() != 0);
    setFlag(flagsA, kFlagWrittenToLibraries, in.u8() != 0);
    if (!in.ok() || !r.readObjectRef(classField)) return false;
    setFlag(flagsA, kFlagStatic, in.u8() != 0);
    typeCode = static_cast<uint8_t>(in.u32le());
    setFlag(flagsB, kFlagConst, in.u8() != 0);
    in.u8();  // has-constant-value: constant values are not part of the record
    const uint32_t lockMode = in.u32le();
    if (lockMode != rare().lockMode) editRare().lockMode = lockMode;
    setFlag(flagsA, kFlagAbstract, in.u8() != 0);
    modifiers = in.u32le();
    setFlag(flagsB, kFlagByBuiltinId, in.u8() != 0);
    setFlag(flagsA, kFlagOperator, in.u8() != 0);
    setFlag(flagsB, kFlagNamedConstant, in.u8() != 0);
    in.u8();  // value record: not stored either
    flagsB &= static_cast<uint8_t>(~(kFlagHasConstant | kFlagValueRecord));
    hashCache = in.u32le();
    if (!in.ok()) return false;
    if (kind == kKindTemplateFunction) {
        NodeHandle tree = declarationNode.node();
        const bool read = r.readDeclarationTree(tree);
        declarationNode = std::move(tree);
        if (!read) return false;
    }
    in.skip(kReservedBytes);
    imported = 1;
    return in.ok();
}

}  // namespace model
