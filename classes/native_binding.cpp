// The call binding of a @Native method: its call signature as a binary
// resource, the Native-class values pushed for it, and the makenative
// instruction that registers both at start-up.
#include <cstring>
#include <vector>

#include "classes/compile_method.h"
#include "codegen/compile_context.h"
#include "codegen/instructions.h"
#include "foundation/ascii_case.h"
#include "foundation/byte_io.h"
#include "model/builtin_types.h"
#include "model/opcodes.h"
#include "statements/compile_walk.h"

namespace {

constexpr uint8_t kNativeObjectCode = 31, kNativePointerCode = 47, kOtherClassCode = 12;
constexpr uint32_t kNativeFlag = 0x800;

bool isNativeClass(const model::IRObject* type) { return type != nullptr && (type->flagsB & model::kFlagNative) != 0; }

// "Pointer" in quotes as the Type of a node's Native annotation.
bool markedPointer(const StatementNode& node) {
    const char* type = node ? node->getAnnotationParameter("Native", "Type") : nullptr;
    constexpr std::string_view kQuotedPointer = "\"Pointer\"";
    return type != nullptr && qestl::sameIgnoringAsciiCase(type, std::strlen(type), kQuotedPointer.data(),
                                                           kQuotedPointer.size());
}

uint8_t valueCode(const model::IRObject* type, const StatementNode& node) {
    if (isNativeClass(type)) return markedPointer(node) ? kNativePointerCode : kNativeObjectCode;
    const uint8_t code = model::dataTypeOfType(const_cast<model::IRObject*>(type));
    return code >= 1 && code <= 9 ? code : kOtherClassCode;
}

uint8_t conventionCode(uint32_t flags) {
    switch (flags & NodeFlag::ConventionMask) {
    case NodeFlag::Stdcall: return 1;
    case NodeFlag::Fastcall: return 2;
    case NodeFlag::Pascal: return 3;
    default: return 0;
    }
}

}  // namespace

void bindNativeCall(CompileContext& context, const model::IRFunction& view, const qestl::SmartPtr& functionRef,
                    const StatementNode& node) {
    auto* function = functionRef.as<model::IRObject>();
    // The declared parameters describe the call, with a body or without.
    std::vector<model::IRObject*> pushed;
    qestl::ByteVector signature;
    qestl::ByteWriter out(signature);
    out.zeros(8);
    out.u32le(static_cast<uint32_t>(function->parameterCount()));
    for (uint64_t i = 0; i < function->parameterCount(); ++i) {
        model::IRObject* parameter = model::asObject(function->parameter(i));
        model::IRObject* type = parameter != nullptr ? model::asObject(parameter->type) : nullptr;
        out.u8(valueCode(type, view.parameterNode(i)));
        if (isNativeClass(type)) pushed.push_back(type);
    }
    model::IRObject* returns = model::asObject(function->type);
    if (returns == nullptr || model::isBuiltin(returns, model::Builtin::Void)) {
        out.u8(0);
    } else {
        out.u8(valueCode(returns, node));
        if (isNativeClass(returns)) pushed.push_back(returns);
    }
    out.u8(conventionCode(node->flags));
    out.u32le(static_cast<uint32_t>(pushed.size()));
    out.zeros(8 * pushed.size());

    const model::Operand resource = context.binaryResource(signature.data(), signature.size());
    for (model::IRObject* type : pushed) {
        model::Operand reference;
        reference.setObjectRef(qestl::SmartPtr(type), 0);
        context.emitToMainList(*codegen::makePush(reference).as<model::cbircode>(), node);
    }
    model::Operand self;
    self.setObjectRef(functionRef, 0);
    qestl::SmartPtr registration = codegen::makeInstruction(model::kOpMakenative, 3);
    auto* record = registration.as<model::cbircode>();
    codegen::setOperandTriple(*record, 0, self, resource,
                              model::Operand(static_cast<int64_t>(pushed.size()), model::kImmInt, model::kTypeInt));
    context.emitToMainList(*record, node);
    function->modifiers |= kNativeFlag;
    function->flagsB |= model::kFlagNative;
}
