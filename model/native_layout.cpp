// The native layout of classes marked "Native": a 40-byte head and one
// 24-byte entry per "Native" field, stored as a binary resource and made at
// run time by a "makenativeclass" instruction.
#include <strings.h>

#include <cstring>

#include "diagnostics/diagnostics.h"
#include "model/class_object.h"
#include "model/model_context.h"
#include "model/opcodes.h"

namespace model {
namespace {

constexpr uint32_t kStateBeingComputed = 3;
constexpr uint32_t kStateDone = 2;
constexpr size_t kHeadSize = 40;
constexpr size_t kEntrySize = 24;
constexpr uint32_t kLastIndex = 65000;
constexpr uint16_t kNativeClassCode = 31;

// An optional sign, then base 8 after a leading 0, base 16 after "0x", else
// base 10, up to the first character that is not a digit of the base.
bool parseSigned(const char* text, int64_t& value, bool allowHex) {
    const char* p = text;
    bool negative = false;
    if (*p == '-' || *p == '+') negative = *p++ == '-';
    unsigned base = 10;
    if (allowHex && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        base = 16;
        p += 2;
    } else if (*p == '0') {
        base = 8;
    }
    const char* digits = p;
    int64_t result = 0;
    for (;; ++p) {
        int digit;
        if (*p >= '0' && *p <= '9') digit = *p - '0';
        else if (base == 16 && *p >= 'a' && *p <= 'f') digit = *p - 'a' + 10;
        else if (base == 16 && *p >= 'A' && *p <= 'F') digit = *p - 'A' + 10;
        else break;
        if (digit >= static_cast<int>(base)) break;
        result = result * base + digit;
    }
    value = negative ? -result : result;
    return p != digits;
}

const char* nativeKey(const IRObject& member, const char* key) {
    const qeAbstractNode* node = member.declarationNode.get();
    return node != nullptr ? node->getAnnotationParameter("Native", key) : nullptr;
}

bool isNativeMember(const IRObject& member) {
    const qeAbstractNode* node = member.declarationNode.get();
    return node != nullptr && node->hasAnnotation("Native");
}

// The "Type" words, with their own double quotes.
uint16_t declaredTypeCode(const char* text) {
    static const struct {
        const char* word;
        uint16_t code;
    } kWords[] = {{"\"byte\"", 1},   {"\"short\"", 3},  {"\"int\"", 4},    {"\"long\"", 5},
                  {"\"float\"", 6},  {"\"double\"", 7}, {"\"String\"", 9}, {"\"Pointer\"", 12}};
    if (text == nullptr) return 0;
    for (const auto& row : kWords)
        if (strcasecmp(text, row.word) == 0) return row.code;
    return 0;
}

void putU16(std::vector<uint8_t>& block, size_t at, uint16_t value) {
    block[at] = static_cast<uint8_t>(value);
    block[at + 1] = static_cast<uint8_t>(value >> 8);
}

}  // namespace

uint32_t nativeStructLayout(Container& properties, ModelContext& context, std::vector<uint8_t>& block) {
    const Container::MemberList& members = properties.members();
    uint32_t objectFields = 0;
    for (size_t index = 0; index < members.size(); ++index) {
        IRObject& member = *asObject(members[index]);
        if (!isNativeMember(member)) continue;
        if (index > kLastIndex) {
            context.reportError(diag::NativeTooManyFields, member.declarationNode.handle());
            break;
        }
        const char* pointerText = nativeKey(member, "Pointer");
        const bool pointer = pointerText != nullptr && strcasecmp(pointerText, "true") == 0;
        const char* sizeText = nativeKey(member, "Size");
        uint16_t sizeKind = 0, sizeValue = 0;
        bool sizeGiven = false;
        if (sizeText != nullptr) {
            int64_t number = 0;
            if (parseSigned(sizeText, number, true)) {
                sizeValue = static_cast<uint16_t>(number);
                sizeGiven = true;
            } else if (const IndexList* named = properties.indexesOf(sizeText)) {
                const uint32_t target = named->front();
                sizeGiven = true;
                if (isNativeMember(*asObject(members[target]))) {
                    sizeKind = 1;
                    for (uint32_t i = 0; i <= target; ++i) sizeValue += isNativeMember(*asObject(members[i])) ? 1 : 0;
                } else {
                    sizeKind = 2;
                    sizeValue = static_cast<uint16_t>(target);
                }
            }
        }
        IRObject* valueType = asObject(sizeGiven ? member.typeOfType() : member.valueType());
        if (sizeGiven && valueType != nullptr && valueType->kind == kKindArray) valueType = asObject(valueType->type);
        uint16_t typeCode = valueType ? static_cast<uint16_t>(static_cast<int8_t>(valueType->typeCode)) : 0;
        if (ClassObject* layout = valueType ? asClass(valueType->classRef()) : nullptr;
            layout != nullptr && layout->declarationNode.get() &&
            layout->declarationNode.get()->hasAnnotation("Native")) {
            layout->computeNativeLayout(context, !pointer);
            if (layout->rareClass().hasNativeLayout) {
                typeCode = kNativeClassCode;
                ++objectFields;
                auto* push = new cbircode(kOpPush, 1);
                qestl::SmartPtr held = adoptLive(push);
                push->operands[0].setObjectRef(qestl::SmartPtr(layout), 0);
                context.emitToMainList(*push, member.declarationNode.handle());
            }
        }
        const uint16_t declared = declaredTypeCode(nativeKey(member, "Type"));
        const size_t at = block.size();
        block.resize(at + kEntrySize, 0);
        putU16(block, at + 0, pointer ? 1 : 0);
        putU16(block, at + 2, sizeGiven ? 1 : 0);
        putU16(block, at + 4, declared != 0 ? declared : typeCode);
        putU16(block, at + 6, typeCode);
        putU16(block, at + 8, static_cast<uint16_t>(index));
        putU16(block, at + 10, sizeValue);
        putU16(block, at + 14, sizeKind);
    }
    return objectFields;
}

bool ClassObject::computeNativeLayout(ModelContext& context, bool reportCycles) {
    const qeAbstractNode* node = declarationNode.get();
    if (node == nullptr || !node->hasAnnotation("Native")) return true;
    int64_t align = 0;
    if (const char* text = node->getAnnotationParameter("Native", "Align")) parseSigned(text, align, false);
    if (rareClass().nativeLayoutState == kStateBeingComputed) {
        if (!reportCycles) return true;
        context.reportError(diag::NativeLayoutCycle, declarationNode.handle());
        return false;
    }
    if (rareClass().nativeLayoutState == kStateDone) return true;
    editRareClass().nativeLayoutState = kStateBeingComputed;
    std::vector<uint8_t> block(kHeadSize, 0);
    const uint32_t objectFields = nativeStructLayout(dynamicProperties, context, block);
    const auto fields = static_cast<uint32_t>((block.size() - kHeadSize) / kEntrySize);
    const auto alignWord = static_cast<uint32_t>(static_cast<int32_t>(align));
    for (int i = 0; i < 4; ++i) {
        block[4 + i] = static_cast<uint8_t>(fields >> (8 * i));
        block[8 + i] = static_cast<uint8_t>(alignWord >> (8 * i));
    }
    RareClass& layout = editRareClass();
    layout.nativeLayoutOperand = context.binaryResource(block.data(), block.size());
    layout.hasNativeLayout = 1;
    cbircode make(kOpMakenativeclass, 3);
    make.operands[0].setObjectRef(qestl::SmartPtr(this), 0);
    make.operands[1].linkTo(&layout.nativeLayoutOperand);
    make.operands[2].intImmediate(objectFields, kTypeInt);
    context.emitToMainList(make, declarationNode.handle());
    editRareClass().nativeLayoutState = kStateDone;
    return true;
}

}  // namespace model
