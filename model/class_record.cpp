// The class record of the image: nine operands, the type code and the five
// member tables; the signature hash; the remote interface descriptor.
#include <algorithm>
#include <utility>
#include <vector>

#include "foundation/crc32.h"
#include "foundation/look_ahead.h"
#include "model/class_object.h"
#include "model/function_object.h"
#include "model/model_context.h"

namespace model {
namespace {

// The members of a class record's tables lie apart from it and from each
// other: resolving, placing and encoding them one by one waited for each in
// turn. Asked for together first (the first ones of a large table; its own
// walk looks further ahead), their waits overlap (bench/hostile_shapes.py
// static_fields and one_method_classes).
void prefetchMembers(const ClassObject& owner) {
    constexpr size_t kMembers = 16;
    for (const Container* t :
         {&owner.dynamicMethods, owner.staticMethodsIfMade(), &owner.dynamicProperties, owner.staticPropertiesIfMade(),
          static_cast<const Container*>(owner.anonymousTableIfMade())}) {
        if (t == nullptr) continue;
        const Container::MemberList& members = t->members();
        const size_t count = members.size() < kMembers ? members.size() : kMembers;
        for (size_t i = 0; i < count; ++i) qestl::touch(members[i].get());
    }
}

}  // namespace

uint64_t ClassObject::encodedSize() const {
    uint64_t size = 12 * operandCount + 8;
    for (const Container* t : {&dynamicMethods, staticMethodsIfMade(), &dynamicProperties, staticPropertiesIfMade()})
        size += t != nullptr ? t->encodedSize() : Container::kEmptyEncodedSize;
    if (const Container* t = anonymousTableIfMade()) size += t->encodedSize();
    else if (writesAnonymousTable()) size += Container::kEmptyEncodedSize;
    return size;
}

uint64_t ClassObject::assignAddress(ModelContext& context, uint64_t position) {
    prefetchMembers(*this);
    noteWrite();
    operands[2] = context.nameResource(name.view());
    operands[6] = context.nameResource(linkName().view());
    auto* holder = operands[0].target.as<cbircode>();
    codeAddress = holder != nullptr ? holder->address() : position;
    uint64_t at = position + 12 * operandCount + 8;
    for (Container* t : {&dynamicMethods, staticMethodsIfMade(), &dynamicProperties, staticPropertiesIfMade()})
        at = t != nullptr ? t->assignAddress(context, at) : at + Container::kEmptyEncodedSize;
    if (Container* t = anonymousTableIfMade()) at = t->assignAddress(context, at);
    else if (writesAnonymousTable()) at += Container::kEmptyEncodedSize;
    const uint64_t hash = cachedHash();
    // Operands may have been resolved before placement: the immediate is
    // set where encoding reads it too, not only as the operand's value.
    operands[1].intImmediate(0, kTypeInt);
    operands[1].setEncodedValue(static_cast<int64_t>((hash << 32) | ((at - position) & 0xFFFFFFFFu)));
    operands[1].encodedKind = kImmInt;
    return at;
}

bool ClassObject::resolveOperands(ModelContext& context) {
    // Guards only against re-entry (a class reached again through its own
    // members while it resolves).
    if (resolvedOnce) return true;
    prefetchMembers(*this);
    notePlaced();
    resolvedOnce = 1;
    bool ok = cbircode::resolveOperands(context);
    ClassObject* b = base();
    if (b != nullptr && b->imported) operands[5].kind = operands[5].encodedKind = kLibraryObjectOffset;
    auto resolveMembers = [&](const Container::MemberList& members) {
        forEachRecord(members, [&](cbircode& member) { ok = member.resolveOperands(context) && ok; });
    };
    for (const Container* t : {&dynamicMethods, staticMethodsIfMade(), &dynamicProperties, staticPropertiesIfMade()})
        if (t != nullptr) resolveMembers(t->members());
    if (const Container* t = anonymousTableIfMade(); !baseClass && t != nullptr) resolveMembers(t->members());
    resolvedOnce = 0;
    return ok;
}

uint64_t ClassObject::encode(ModelContext& context, qestl::ByteWriter& out, void*, uint64_t position) {
    const size_t start = out.position();
    prefetchMembers(*this);
    notePlaced();
    requireOperandSlots();
    // Fix-up is relative to the end of the whole record, containers
    // included: placement left that size in operand 1, and a record that
    // was never placed (or placed with other members) must not go out with
    // it. Its tables are measured as they are written, not walked once more
    // before.
    if (operands[1].encodedKind != kImmInt)
        internalFault("internal error: class record %s encoded before it was placed", name.c_str());
    const uint64_t size = static_cast<uint64_t>(operands[1].encodedValue()) & 0xFFFFFFFFu;
    const uint64_t resolvable = operands.resolvable(operandCount);
    for (uint64_t i = 0; i < resolvable; ++i) {
        Operand& operand = operands[i];
        if (operand.refersElsewhere()) context.fixupOperand(operand, *this, position + size);
    }
    out.u32le(opcode);
    for (uint64_t i = 0; i < operandCount; ++i) {
        // A slot never made is read without making it.
        const Operand& operand = i < resolvable ? operands[i] : std::as_const(operands)[i];
        out.u32le((uint32_t{operand.dataType} << 24) | (operand.encodedKind & 0xFFFFFF));
        out.u64le(static_cast<uint64_t>(operand.encodedValue()));
    }
    out.u32le(static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(typeCode))));
    uint64_t at = position + 12 * operandCount + 8;
    Container* const tables[] = {&dynamicMethods, staticMethodsIfMade(), &dynamicProperties, staticPropertiesIfMade()};
    constexpr uint32_t kinds[] = {kDynamicMethods, kStaticMethods, kDynamicProperties, kStaticProperties};
    for (size_t i = 0; i < std::size(tables); ++i)
        at += tables[i] != nullptr ? tables[i]->encode(context, out, context.typeStream(), at)
                                   : Container::encodeEmpty(out, kinds[i]);
    if (Container* t = anonymousTableIfMade()) at += t->encode(context, out, context.typeStream(), at);
    else if (writesAnonymousTable()) at += Container::encodeEmpty(out, kAnonymousProperties);
    if (out.position() - start != size)
        internalFault("internal error: class record %s encoded before it was placed", name.c_str());
    return size;
}

uint32_t ClassObject::signatureHash(uint32_t seed) const {
    // A nested class deriving from its outer class holds itself among its
    // inherited members; a class met again while its own hash is under way
    // counts by its link name only, so the walk ends.
    if (hashUnderWay != 0) return IRObject::signatureHash(seed);
    uint32_t h = qestl::crc32Update(linkName().data(), linkName().length(), seed);
    hashUnderWay = 1;
    // A class of many members has them far outside the caches: the member
    // some places ahead is loaded, and the link name of a nearer one.
    constexpr size_t kManyMembers = 4096;
    constexpr size_t kAhead = 8;
    for (const Container* t : {&dynamicMethods, staticMethodsIfMade(), &dynamicProperties, staticPropertiesIfMade()}) {
        if (t == nullptr) continue;
        const Container::MemberList& members = t->members();
        const size_t count = members.size();
        for (size_t i = 0; i < count; ++i) {
            if (count >= kManyMembers) {
                if (i + 2 * kAhead < count) asObject(members[i + 2 * kAhead])->prefetchLinkNameHolder();
                if (i + kAhead < count) asObject(members[i + kAhead])->prefetchLinkName();
            }
            h = asObject(members[i])->signatureHash(h);
        }
    }
    hashUnderWay = 0;
    return h;
}

namespace {

// The descriptor code of a value type; arrays by their element.
uint8_t descriptorCode(IRObject* t) {
    if (t != nullptr && t->kind == kKindArray) return podTypeCode(asObject(t->type), true);
    return podTypeCode(t, false);
}

}  // namespace

std::vector<uint8_t> buildRemoteInterfaceDescriptor(const ClassObject& owner, bool& ok) {
    const Container::MemberList& methods = owner.dynamicMethods.members();
    qestl::ByteVector bytes;
    qestl::ByteWriter out(bytes);
    out.u32le(static_cast<uint32_t>(methods.size()));
    ok = false;
    for (size_t i = 0; i < methods.size(); ++i) {
        IRObject& method = *asObject(methods[i]);
        const uint8_t returnCode = descriptorCode(asObject(method.returnType()));
        if (returnCode == 255) return {};
        out.u32le(static_cast<uint32_t>(i));
        out.u8(static_cast<uint8_t>(method.parameterCount()));
        out.u8(returnCode);
        for (uint64_t p = 0; p < method.parameterCount(); ++p) {
            IRObject* parameter = asObject(method.parameter(p));
            const uint8_t code = descriptorCode(parameter ? asObject(parameter->valueType()) : nullptr);
            if (code == 255) return {};
            out.u8(code);
        }
    }
    ok = true;
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

}  // namespace model
