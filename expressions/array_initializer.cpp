// Brace initialisers { e1, e2, ... }. The elements are compiled first into a
// provisional array that keeps their values; once the receiving place names
// the array type, every element is converted to the element type and the
// array is built: one dimension of plain constants becomes a binary
// resource and one `initarray`, anything else is pushed element by element
// and allocated at run time.
#include <bit>
#include <cstring>
#include <limits>
#include <optional>
#include <unordered_map>
#include <vector>

#include "codegen/candidate_pickers.h"
#include "codegen/instructions.h"
#include "diagnostics/diagnostics.h"
#include "expressions/compile_expression.h"
#include "foundation/look_ahead.h"
#include "model/array_object.h"
#include "model/builtin_types.h"
#include "model/opcodes.h"
#include "statements/compile_walk.h"
#include "statements/declarations.h"

namespace {

bool isImmediate(const model::Operand& operand) {
    return operand.kind <= model::kImmBool || operand.kind == model::kStringOffset;
}

// The value of an initialiser whose array type is not known yet: its
// elements wait, compiled, in source order. A literal waits as its type and
// value alone, without the compiled result and the constant object made for
// it: a long constant array costs a few bytes per element, not an object.
class ProvisionalArray final : public model::IRObject {
public:
    explicit ProvisionalArray(const qestl::SmartPtr& arrayType) : IRObject("", model::kKindVariable, arrayType, 0) {}
    void detach() override {
        results.clear();
        values.clear();
        runs.clear();
        literalTypes.clear();
        IRObject::detach();
    }

    struct Slot {
        int64_t value;
        uint32_t index;  // in literalTypes for a literal, else in results
        uint16_t dataType;
        uint8_t kind;  // a literal's kind fits: every immediate kind does
        bool literal;
    };

    size_t size() const { return values.size(); }
    void reserve(size_t count) { values.reserve(count); }
    void add(const model::IRResult& element, const StatementNode& at);
    // What the elements of a run share: all of a slot but the value.
    struct Like {
        uint32_t index;
        uint16_t dataType;
        uint8_t kind;
        bool literal;
        bool operator==(const Like&) const = default;
    };
    void addRun(const Like& like) {
        if (runs.empty() || !(runs.back().like == like)) runs.push_back(Run{values.size() - 1, like});
    }
    // Calls visit(i, slot) for each element in order while it returns true;
    // false when one returned false.
    template <typename Visit>
    bool forEachSlot(Visit&& visit) const {
        for (size_t run = 0; run < runs.size(); ++run) {
            const size_t end = run + 1 < runs.size() ? runs[run + 1].first : values.size();
            const Like& like = runs[run].like;
            for (size_t i = runs[run].first; i < end; ++i) {
                const Slot slot = like.literal ? Slot{values[i], like.index, like.dataType, like.kind, true}
                                               : Slot{0, static_cast<uint32_t>(values[i]), 0, 0, false};
                if (!visit(i, slot)) return false;
            }
        }
        return true;
    }
    // The value type of a literal element and its operand.
    model::IRObject* literalValueType(const Slot& slot) const {
        return model::asObject(literalTypes[slot.index])->classRef();
    }
    static model::Operand operandOf(const Slot& slot) { return model::Operand(slot.value, slot.kind, slot.dataType); }
    // The literal elements as compiled results, in order, each made again
    // as the literal compiler makes it.
    model::IRValueList literals(const StatementNode& node) const;

    // An element is kept as its value (its place in results when it is no
    // literal) and the run of like elements it belongs to: elements come in
    // runs of one kind and type, and a constant array of ten million keeps
    // ten million values.
    struct Run {
        size_t first;
        Like like;
    };
    std::vector<int64_t> values;
    std::vector<Run> runs;
    model::IRValueList results;
    // The types literal objects were made with.
    std::vector<qestl::SmartPtr> literalTypes;
    std::unordered_map<const model::IRObject*, uint32_t> literalTypeIndex;  // lookup only
    const model::IRObject* lastLiteralType = nullptr;                       // and its index, of the last literal added
    uint32_t lastLiteralIndex = 0;
};

// A result that is a literal and nothing more: an anonymous constant object
// the use check has nothing more to say about, its value an immediate, no
// code and no states, the element's own node as its source.
bool isPlainLiteral(const model::IRResult& result, const StatementNode& at) {
    const model::IRObject* object = result.objectPtr();
    const model::Operand& operand = result.operand;
    if (object == nullptr || object->kind != model::kKindVariable || !object->name.empty() || !object->type ||
        (object->flagsA & model::kFlagUsed) == 0 || (object->flagsB & model::kFlagAssigned) == 0 ||
        (object->flagsC & model::kFlagUnassigned) != 0 || (object->modifiers & model::kModMayNil) != 0 ||
        object->classField || object->ownerResult.objectPtr() != nullptr || !object->isConst())
        return false;
    if (!isImmediate(operand) || operand.link() != nullptr || operand.target || operand.displacement != 0 ||
        operand.encodedKind != 0 || operand.encodedValue() != 0)
        return false;
    return result.sourceNode.get() == at.get() && result.pending.empty() && result.states.empty() &&
           !result.secondObject && !result.secondNode && result.matchRank == 0 && result.sizeValue == 0 &&
           result.markerByte == 0 && result.addressOf == 0 && result.statesApplied == 0 && result.reach == 0 &&
           result.stateWord == 0 && result.storageIndex == 0 && result.pathKind == 0;
}

void ProvisionalArray::add(const model::IRResult& element, const StatementNode& at) {
    const model::Operand& operand = element.operand;
    if (!isPlainLiteral(element, at)) {
        values.push_back(static_cast<int64_t>(results.size()));
        addRun(Like{0, 0, 0, false});
        results.pushBack(element);
        return;
    }
    // Literals come in runs of one type: the table is asked when the type
    // changes, not for each element.
    const model::IRObject* type = model::asObject(element.objectPtr()->type);
    if (type != lastLiteralType || literalTypes.empty()) {
        auto found = literalTypeIndex.find(type);
        if (found == literalTypeIndex.end()) {
            found = literalTypeIndex.emplace(type, static_cast<uint32_t>(literalTypes.size())).first;
            literalTypes.push_back(element.objectPtr()->type);
        }
        lastLiteralType = type;
        lastLiteralIndex = found->second;
    }
    values.push_back(operand.value);
    addRun(Like{lastLiteralIndex, operand.dataType, static_cast<uint8_t>(operand.kind), true});
}

model::IRValueList ProvisionalArray::literals(const StatementNode& node) const {
    model::IRValueList list;
    forEachSlot([&](size_t i, const Slot& slot) {
        if (!slot.literal) return true;
        const model::Operand operand = operandOf(slot);
        qestl::SmartPtr object = model::makeObject("", model::kKindVariable, literalTypes[slot.index], 0);
        model::IRObject* constant = model::asObject(object);
        model::IRResult result(object, operand);
        result.sourceNode = i < node->operands.size() ? node->operands[i] : StatementNode();
        constant->checkUse(nullptr, result.sourceNode);
        constant->setConstantValue(operand, true);
        list.pushBack(result);
        return true;
    });
    return list;
}

enum class Width : uint8_t { None, Byte, Short, Int, Long, Float, Double };

struct ElementType {
    qestl::SmartPtr type;  // the type values are converted to (int for an enum)
    Width width = Width::None;
    uint32_t size = 0;
};

ElementType elementTypeOf(CompileContext& context, model::IRObject* innermost) {
    const model::BuiltinTypes& b = context.builtins();
    ElementType element;
    element.type = innermost != nullptr && innermost->isEnum() ? b.intType : qestl::SmartPtr(innermost);
    model::IRObject* t = model::asObject(element.type);
    struct Row {
        model::Builtin type;
        Width width;
        uint32_t size;
    };
    const Row rows[] = {{model::Builtin::Byte, Width::Byte, 1},   {model::Builtin::Bool, Width::Byte, 1},
                        {model::Builtin::Char, Width::Short, 2},  {model::Builtin::Short, Width::Short, 2},
                        {model::Builtin::Int, Width::Int, 4},     {model::Builtin::Long, Width::Long, 8},
                        {model::Builtin::Float, Width::Float, 4}, {model::Builtin::Double, Width::Double, 8}};
    for (const Row& row : rows) {
        if (!model::isBuiltin(t, row.type)) continue;
        element.width = row.width;
        element.size = row.size;
    }
    return element;
}

// The type-id operand of an element type: byte 1 ... bool 8, String 9,
// anything else 11.
model::Operand typeIdOf(model::IRObject* type) {
    const model::Builtin codes[] = {model::Builtin::Byte,   model::Builtin::Char, model::Builtin::Short,
                                    model::Builtin::Int,    model::Builtin::Long, model::Builtin::Float,
                                    model::Builtin::Double, model::Builtin::Bool, model::Builtin::String};
    int64_t id = 11;
    for (size_t i = 0; i < std::size(codes); ++i)
        if (model::isBuiltin(type, codes[i])) id = static_cast<int64_t>(i) + 1;
    return model::Operand(id, model::kTypeId, model::kTypeType);
}

// One element's value converted into the element type: the bytes it adds to
// the constant data, and the warning the conversion deserves (0 for none).
struct Converted {
    uint64_t bits = 0;
    uint32_t warning = 0;
};

double floatingValue(const model::Operand& operand, bool isFloat) {
    if (isFloat) return std::bit_cast<float>(static_cast<uint32_t>(operand.value));
    return std::bit_cast<double>(operand.value);
}

Converted convertElement(Width width, model::IRObject* source, const model::Operand& operand) {
    const bool fromFloat = model::isBuiltin(source, model::Builtin::Float);
    const bool fromDouble = model::isBuiltin(source, model::Builtin::Double);
    const bool floating = fromFloat || fromDouble;
    const bool fromLong = model::isBuiltin(source, model::Builtin::Long);
    const double real = floating ? floatingValue(operand, fromFloat) : 0.0;
    constexpr int64_t kInt32Min = std::numeric_limits<int32_t>::min(), kInt32Max = std::numeric_limits<int32_t>::max();
    constexpr int64_t kInt64Min = std::numeric_limits<int64_t>::min(), kInt64Max = std::numeric_limits<int64_t>::max();
    const uint32_t precision = diag::MayLosePrecision.warningNumber, data = diag::MayLoseData.warningNumber;
    const int64_t value = operand.value;
    switch (width) {
    case Width::Byte:
        if (floating) return {static_cast<uint8_t>(floatingToInteger(real, kInt32Min, kInt32Max)), precision};
        return {static_cast<uint8_t>(value),
                model::isBuiltin(source, model::Builtin::Byte) || model::isBuiltin(source, model::Builtin::Bool)
                    ? 0
                    : data};
    case Width::Short:
        if (floating) return {static_cast<uint16_t>(floatingToInteger(real, kInt32Min, kInt32Max)), precision};
        return {static_cast<uint16_t>(value), model::isBuiltin(source, model::Builtin::Int) || fromLong ? data : 0};
    case Width::Int:
        if (floating) return {static_cast<uint32_t>(floatingToInteger(real, kInt64Min, kInt64Max)), precision};
        return {static_cast<uint32_t>(value), fromLong ? data : 0};
    case Width::Long:
        if (floating) return {static_cast<uint64_t>(floatingToInteger(real, kInt64Min, kInt64Max)), precision};
        return {static_cast<uint64_t>(value), 0};
    case Width::Double:
        if (fromDouble) return {static_cast<uint64_t>(value), 0};
        if (fromFloat) return {std::bit_cast<uint64_t>(real), 0};
        return {std::bit_cast<uint64_t>(static_cast<double>(value)), fromLong ? precision : 0};
    case Width::Float:
        if (fromFloat) return {static_cast<uint32_t>(value), 0};
        if (fromDouble) return {std::bit_cast<uint32_t>(static_cast<float>(real)), precision};
        return {std::bit_cast<uint32_t>(static_cast<float>(value)), fromLong ? precision : 0};
    case Width::None: break;
    }
    return {};
}

void reportConversion(CompileContext& context, uint32_t warning, model::IRObject* source, model::IRObject* target,
                      const StatementNode& node) {
    const Diagnostic& diagnostic = warning == diag::MayLosePrecision.warningNumber ? diag::MayLosePrecision
                                                                                   : diag::MayLoseData;
    context.reportWarning(diagnostic, node, source->getName(), target->getName());
}

void appendTo(model::IRResult& value, const qestl::SmartPtr& instruction, const qestl::SmartPtr& owner,
              const StatementNode& node) {
    value.appendInstruction(value.pending, *instruction.as<model::cbircode>(), owner, node);
}

}  // namespace

bool isProvisionalArray(const model::IRObject* object) {
    return dynamic_cast<const ProvisionalArray*>(object) != nullptr;
}

// The brace initialiser `{a, b, ...}` (an ArrayInitializer node).
uint32_t compileArrayInitializer(CompileContext& context, const StatementNode& node) {
    const qestl::SmartPtr arrayType = context.arrayTypeOf(context.builtins().wildcard);
    const qestl::SmartPtr provisional = model::adoptLive(new ProvisionalArray(arrayType));
    if (!arrayType || !provisional) {
        context.reportError(diag::OutOfMemory, node);
        return 0;
    }
    auto* array = provisional.as<ProvisionalArray>();
    array->buildLinkName();
    const qestl::SmartPtr expected = context.lookup().receiver();
    model::IRObject* expectedType = model::asObject(expected);
    {
        FlagGuard flag = context.lookup().pushFlag(1);
        // A nested initialiser sees its own array type; names are looked up
        // in the element type first.
        std::optional<NameLookup::ExpectedType> receiver;
        if (expectedType != nullptr && expectedType->isArray()) receiver.emplace(context.lookup(), expectedType->type);
        const size_t count = node->operands.size();
        const StatementNode* elements = node->operands.data();
        array->reserve(count);
        // A long initialiser's element nodes were made long before and lie
        // out of the cache: each is asked for some elements ahead
        // (bench/hostile_shapes.py constant_array).
        constexpr size_t kAhead = 16;
        const size_t askedUpTo = count > kAhead ? count - kAhead : 0;
        for (size_t i = 0; i < count; ++i) {
            const StatementNode& element = elements[i];
            if (i < askedUpTo) qestl::touch(elements[i + kAhead].get());
            model::IRValueList candidates;
            if (!compileToCandidates(context, element, candidates)) return 0;
            if (context.lookup().receiver())
                declarations::keepAssignable(context, candidates, context.lookup().receiver());
            model::IRResult* chosen = pickSingleObject(context, candidates, element);
            if (chosen == nullptr) return 0;
            array->add(*chosen, element);
        }
        context.lookup().clearResults();
        context.lookup().nearMisses().clear();
        context.lookup().addResult(model::IRResult(provisional, model::Operand()));
    }
    if (!expected) return 0;
    model::IRValueList candidates;
    context.lookup().takeResults(candidates);
    compileArrayInitializerElements(context, candidates, expected, node);
    return 0;
}

void compileArrayInitializerElements(CompileContext& context, model::IRValueList& candidates,
                                     const qestl::SmartPtr& expected, const StatementNode& node) {
    model::IRValueList converted;
    for (model::IRResult& candidate : candidates) {
        compileArrayInitializerElement(context, candidate, expected, node);
        for (model::IRResult& value : context.lookup().resultsInPlace()) converted.pushBack(value);
        context.lookup().clearResults();
    }
    context.lookup().replaceResults(converted);
}

void compileArrayInitializerElement(CompileContext& context, const model::IRResult& candidate,
                                    const qestl::SmartPtr& expected, const StatementNode& node) {
    auto* array = dynamic_cast<ProvisionalArray*>(candidate.objectPtr());
    if (candidate.objectPtr() == nullptr) return;
    model::IRObject* arrayType = model::asObject(expected);
    context.lookup().clearResults();
    if (array == nullptr || arrayType == nullptr || !arrayType->isArray()) return;

    uint32_t depth = 0;
    model::IRObject* innermost = arrayType;
    while (innermost != nullptr && innermost->isArray()) {
        innermost = model::asObject(innermost->type);
        ++depth;
    }
    const ElementType element = elementTypeOf(context, innermost);
    model::IRObject* elementType = model::asObject(element.type);
    bool constantData = depth == 1 && innermost != nullptr && innermost->isPodType() &&
                        !model::isBuiltin(innermost, model::Builtin::String);

    const qestl::SmartPtr owner = context.lookup().scopes().frame->owner;
    qestl::SmartPtr made = model::makeObject("", model::kKindVariable, expected, 0);
    model::asObject(made)->changeModifiers(0x80, 0);
    model::IRResult value(made);
    const model::Operand typeId = typeIdOf(elementType);

    const size_t count = array->size();
    std::vector<uint8_t> data(constantData ? count * element.size : 0);
    // An element's node is read only to report on it: the nodes of a long
    // initialiser lie far out of the cache by now.
    const auto nodeAt = [&node](size_t i) { return i < node->operands.size() ? node->operands[i] : StatementNode(); };
    const bool allConverted = array->forEachSlot([&](size_t i, const ProvisionalArray::Slot& slot) {
        model::IRResult* item = slot.literal ? nullptr : &array->results[slot.index];
        model::IRObject* source = item != nullptr ? declarations::valueTypeOf(*item) : array->literalValueType(slot);
        if (source == nullptr) return false;
        // A literal's use was checked when it was made; checking again says nothing.
        if (item != nullptr) item->checkUse(&context, nodeAt(i));
        if (!model::convertible(&context, source, arrayType->type, true)) return false;
        const model::Operand operand = item != nullptr ? item->operand : ProvisionalArray::operandOf(slot);
        constantData = constantData && (item == nullptr || (item->pending.empty() && isImmediate(item->operand)));
        const Converted bits = convertElement(element.width, source, operand);
        if (constantData && element.size != 0) std::memcpy(&data[i * element.size], &bits.bits, element.size);
        if (bits.warning != 0) reportConversion(context, bits.warning, source, elementType, nodeAt(i));
        return true;
    });
    if (!allConverted) return;

    if (constantData) {
        const model::Operand resource = context.binaryResource(data.data(), data.size());
        qestl::SmartPtr initarray = codegen::makeInstruction(model::kOpInitarray, 3);
        codegen::setOperandTriple(*initarray.as<model::cbircode>(), 0, typeId,
                                  model::makeImmediate(static_cast<int64_t>(data.size()), model::kImmInt), resource);
        appendTo(value, initarray, owner, node);
    } else {
        model::IRValueList literals = array->literals(node);
        size_t nextLiteral = 0;
        array->forEachSlot([&](size_t, const ProvisionalArray::Slot& slot) {
            model::IRResult& item = slot.literal ? literals[nextLiteral++] : array->results[slot.index];
            model::IRObject* object = item.objectPtr();
            model::Operand pushed = object->isFunction() ? object->makeObjectOperand() : item.operand;
            if (!object->isFunction()) value.appendResult(item);
            appendTo(value, codegen::makeInstructionWithOperand(model::kOpPush, pushed), owner, node);
            return true;
        });
        model::Operand elementClass;
        elementClass.setObjectRef(element.type, 0);
        appendTo(value, codegen::makeInstructionWithOperand(model::kOpPush, elementClass), owner, node);
        appendTo(value, codegen::makeInstructionWithOperand(model::kOpPush, typeId), owner, node);
        appendTo(value, codegen::makePushIntImmediate(static_cast<int32_t>(count)), owner, node);
        for (uint32_t i = 1; i < depth; ++i) appendTo(value, codegen::makePushIntImmediate(0), owner, node);
        const model::Operand countOperand = model::makeImmediate(static_cast<int64_t>(count), model::kImmInt);
        appendTo(value, codegen::makeInstructionWithOperand(model::kOpAllocArrayN, countOperand), owner, node);
    }
    value.operand = codegen::makeEaxOperand(arrayType);
    context.lookup().setResults(std::move(value));
}
