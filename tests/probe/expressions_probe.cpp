// Probe subcommands over the expression compiler:
//   fold (OP LEFT RIGHT)...     the folded value of two constants (TYPE:VALUE,
//                               TYPE byte, char, short, int, long, float or
//                               double): kind=K type=T value=V, or error=N
//   pick overload|args CODE...  the candidate chosen among address codes
//                               ("-" a candidate without object): its 0-based
//                               index, or 150
#include <bit>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "codegen/candidate_pickers.h"
#include "expressions/constant_folding.h"
#include "model/ir_object.h"
#include "model/opcodes.h"
#include "probe.h"

namespace {

constexpr const char* kTypeNames[] = {"byte", "char", "short", "int", "long", "float", "double"};

bool readConstant(const char* text, model::Operand& out) {
    const char* colon = std::strchr(text, ':');
    if (colon == nullptr) return false;
    const std::string_view type(text, static_cast<size_t>(colon - text));
    for (uint32_t kind = model::kImmByte; kind <= model::kImmDouble; ++kind) {
        if (type != kTypeNames[kind - 1]) continue;
        char* end = nullptr;
        int64_t value = 0;
        if (kind == model::kImmFloat) value = std::bit_cast<uint32_t>(std::strtof(colon + 1, &end));
        else if (kind == model::kImmDouble) value = std::bit_cast<int64_t>(std::strtod(colon + 1, &end));
        else value = std::strtoll(colon + 1, &end, 10);
        if (end == colon + 1 || *end != '\0') return false;
        out = model::makeImmediate(value, kind);
        return true;
    }
    return false;
}

uint32_t foldCodeOf(std::string_view text) {
    constexpr struct {
        std::string_view text;
        uint32_t code;
    } kCodes[] = {{"+", model::kOpAdd}, {"-", model::kOpSub}, {"*", model::kOpMul},  {"/", model::kOpDiv},
                  {"<<", model::kOpShl}, {">>", model::kOpShr}, {"%", model::kOpMod}, {"&", model::kOpAnd},
                  {"|", model::kOpOr},   {"^", model::kOpXor}};
    for (const auto& row : kCodes)
        if (row.text == text) return row.code;
    return 0;
}

int foldOne(char** argv) {
    model::Operand left, right;
    const uint32_t code = foldCodeOf(argv[0]);
    if (code == 0 || !readConstant(argv[1], left) || !readConstant(argv[2], right)) return 2;
    const bool arithmetic = code >= model::kOpAdd && code <= model::kOpDiv;
    const model::Operand folded = arithmetic ? expressions::foldArithmeticValues(code, left, right)
                                             : expressions::foldIntegerValues(code, left, right);
    if (expressions::isFoldError(folded)) {
        std::printf("error=%" PRId64 "\n", folded.value);
        return 0;
    }
    std::printf("kind=%u type=%u value=", folded.kind, folded.dataType);
    if (folded.kind == model::kImmDouble) std::printf("%.17g\n", std::bit_cast<double>(folded.value));
    else if (folded.kind == model::kImmFloat)
        std::printf("%.17g\n", static_cast<double>(std::bit_cast<float>(static_cast<uint32_t>(folded.value))));
    else std::printf("%" PRId64 "\n", folded.value);
    return 0;
}

// Several (OP LEFT RIGHT) triples fold one after the other.
int foldCommand(int argc, char** argv) {
    for (int i = 0; argc >= 3 && argc % 3 == 0 && i < argc; i += 3) {
        if (foldOne(argv + i) != 0) argc = 0;
    }
    if (argc < 3 || argc % 3 != 0) {
        std::fprintf(stderr, "usage: korvo-probe fold (OP TYPE:VALUE TYPE:VALUE)...\n");
        return 2;
    }
    return 0;
}

// A candidate whose address code is `code`: the lookup rank in the high
// bits, the storage (1 parameter slot ... 5 anything else) in the low three.
bool makeCandidate(const char* text, model::IRResult& out) {
    if (std::strcmp(text, "-") == 0) return true;
    char* end = nullptr;
    const uint64_t code = std::strtoull(text, &end, 10);
    if (end == text || *end != '\0') return false;
    const uint64_t storage = code & 7;
    out.object = model::makeObject("candidate", model::kKindVariable, qestl::SmartPtr(), 0);
    out.storageIndex = code >> 3;
    switch (storage) {
    case 1: model::asObject(out.object)->flagsC |= model::kFlagParameter; [[fallthrough]];
    case 2: out.operand.kind = model::kStackSlot; return true;
    case 3: out.operand.kind = model::kThisObjectPointer; return true;
    case 4: out.operand.kind = model::kThisStaticPointer; return true;
    case 5: return true;
    default: return false;
    }
}

int pickCommand(int argc, char** argv) {
    const bool byArgs = argc >= 1 && std::strcmp(argv[0], "args") == 0;
    bool valid = argc >= 2 && (byArgs || std::strcmp(argv[0], "overload") == 0);
    model::IRValueList candidates;
    for (int i = 1; valid && i < argc; ++i) {
        candidates.pushBack(model::IRResult());
        valid = makeCandidate(argv[i], candidates.back());
    }
    if (!valid) {
        std::fprintf(stderr, "usage: korvo-probe pick overload|args CODE... (low three bits 1 to 5, or -)\n");
        return 2;
    }
    model::IRResult* chosen = nullptr;
    const uint32_t any = codegen::kAnyKind;
    const uint32_t status = byArgs ? codegen::pickBestOverloadForArgs(candidates, &any, 1, chosen)
                                   : codegen::pickBestOverload(candidates, any, chosen);
    if (status != codegen::kPickedOne) std::printf("%u\n", status);
    else std::printf("%td\n", chosen - candidates.data());
    return 0;
}

}  // namespace

KORVO_PROBE("fold", "OP TYPE:VALUE TYPE:VALUE", foldCommand);
KORVO_PROBE("pick", "overload|args CODE...", pickCommand);
