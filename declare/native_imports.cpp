// Import blocks of native libraries: each declaration becomes an imported
// function of its library's module (with a static wrapper method in the
// enclosing class, if any) and one C declaration in the module's stub text.
// Run by the declaration pass (errors deferred) and again by the compile
// pass (at once); declared nodes are marked and skipped by the later run.
#include "codegen/instructions.h"
#include "declare/declaration_entries.h"
#include "declare/declaration_pass.h"
#include "model/builtin_types.h"
#include "model/class_object.h"
#include "model/declaration_views.h"
#include "model/native_import.h"
#include "model/opcodes.h"

using model::IRObject;

namespace {

constexpr size_t kMaxNativeParameters = 24;

const char* conventionMacro(int32_t code) {
    switch (code) {
    case 0: return "KI_CDECL ";
    case 1: return "KI_STDCALL ";
    case 2: return "KI_FASTCALL ";
    case 3: return "KI_PASCAL ";
    default: return "";
    }
}

struct NativeRun {
    CompileContext& context;
    bool deferErrors;

    void fail(const Diagnostic& entry, const model::NodeHandle& node) {
        declare::raiseOnce(context, deferErrors, entry, node);
    }
};

model::NodeHandle operandAt(const model::NodeHandle& node, size_t i) {
    return node && i < node->operands.size() ? node->operands[i] : model::NodeHandle();
}

std::string_view textOf(const model::NodeHandle& node) { return node ? node->text.view() : std::string_view(); }

// The names are the written ones: the function gives unnamed parameters
// names of its own.
void appendStub(model::ImportModule& module, model::FunctionObject& function, int32_t convention,
                const model::NodeHandle& parameterList) {
    std::string& stub = module.stubText;
    stub += "KNLEXPORT ";
    stub += nativeTypeName(model::asObject(function.type));
    stub += conventionMacro(convention);
    stub += function.name.view();
    stub += "(";
    for (size_t i = 0; i < function.parameters.size(); ++i) {
        if (i != 0) stub += ", ";
        IRObject* parameter = model::asObject(function.parameters[i]);
        stub += nativeTypeName(parameter != nullptr ? model::asObject(parameter->type) : nullptr);
        const std::string_view written = textOf(operandAt(operandAt(parameterList, i), 1));
        if (!written.empty())
            stub += written;
        else
            stub += "arg" + std::to_string(i);
    }
    stub += "){\n\t\n\t\n\t\n}\n\n";
}

// The static method of the owner class that jumps to the imported function.
bool addWrapper(NativeRun& run, model::ImportedFunction& function, const qestl::SmartPtr& functionRef,
                model::ClassObject& owner, const model::NodeHandle& block, const model::NodeHandle& declaration) {
    qestl::SmartPtr made = model::adoptLive(new model::FunctionObject());
    auto* wrapper = static_cast<model::FunctionObject*>(model::asObject(made));
    wrapper->modifiers |= 0x1000 | (block->flags & 0x60);
    wrapper->setStatic(true);
    wrapper->setName(function.name.view());
    wrapper->assignType(function.type);
    for (size_t i = 0; i < function.parameters.size(); ++i) {
        const qestl::SmartPtr parameter = function.parameters[i];
        if (!parameter) {
            run.fail(diag::InvalidParameter, declaration);
            return false;
        }
        if (!wrapper->addParameter(parameter)) {
            run.fail(diag::DuplicateParameter, model::IRCore::operandOf(operandAt(declaration, 2), i));
            return false;
        }
    }
    wrapper->opcode = model::kOpJmp;
    wrapper->operandCount = 1;
    wrapper->operands[0].setObjectRef(functionRef, 0);
    wrapper->setOwner(model::IRResult(qestl::SmartPtr(&owner)));
    wrapper->buildLinkName();
    wrapper->setDeclarationNode(declaration);
    if (owner.addMethod(run.context, wrapper->name.view(), made, true).kind == model::kErrorOperand) {
        run.fail(diag::OverloadExists, declaration);
        return false;
    }
    return true;
}

}  // namespace

namespace declare {

bool nativeParameterCountFits(CompileContext& context, const model::NodeHandle& declaration) {
    const model::NodeHandle parameters = operandAt(declaration, 2);
    if (parameters && parameters->operands.size() > kMaxNativeParameters) {
        context.reportErrorOnce(diag::TooManyNativeParameters, declaration);
        return false;
    }
    return true;
}

bool declareNativeParameters(CompileContext& context, bool deferErrors, model::ImportedFunction& function,
                             const model::NodeHandle& declaration) {
    NativeRun run{context, deferErrors};
    const model::NodeHandle parameters = operandAt(declaration, 2);
    const size_t count = parameters ? parameters->operands.size() : 0;
    const model::BuiltinTypes& types = context.builtins();
    for (size_t i = 0; i < count; ++i) {
        const model::NodeHandle parameter = parameters->operands[i];
        if (!parameter) continue;
        if (parameter->text.view() == "..." && i + 1 != count) {
            // No later run can cure it: reported now, once.
            context.reportErrorOnce(diag::VariadicNotLast, parameter);
            return false;
        }
        qestl::SmartPtr type = builtinTypeByName(parameter->text.view(), context.builtins());
        bool byReference = false;
        const std::string_view marker = textOf(operandAt(parameter, 0));
        if (!marker.empty()) {
            if (marker[0] != '*' && marker[0] != '&') {
                context.reportErrorOnce(diag::BadCharacter, parameter, marker);
                return false;
            }
            if (!type)
                type = types.objectPtr;
            else
                byReference = true;
        }
        if (!type) {
            run.fail(diag::NativeParameterType, parameter);
            return false;
        }
        qestl::SmartPtr object = model::makeObject(textOf(operandAt(parameter, 1)), model::kKindVariable, type, 0);
        if (byReference) model::asObject(object)->modifiers |= model::kModByReference;
        if (!function.addParameter(object)) {
            run.fail(diag::DuplicateParameter, parameter);
            return false;
        }
    }
    return true;
}

qestl::SmartPtr nativeReturnType(CompileContext& context, bool deferErrors, const model::NodeHandle& declaration) {
    qestl::SmartPtr returnType = builtinTypeByName(textOf(operandAt(declaration, 0)), context.builtins());
    if (!returnType) raiseOnce(context, deferErrors, diag::NativeReturnType, declaration);
    return returnType;
}

}  // namespace declare

namespace {

bool declareImportedFunction(NativeRun& run, model::ImportModule& module, const model::NodeHandle& block,
                             const model::NodeHandle& declaration, model::ClassObject* owner) {
    qestl::SmartPtr made = model::adoptLive(new model::ImportedFunction());
    auto* function = static_cast<model::ImportedFunction*>(model::asObject(made));
    if (!declare::nativeParameterCountFits(run.context, declaration)) return false;
    function->modifiers |= block->flags & 0x60;
    function->setName(declaration->text.view());
    function->setOwner(model::IRResult(qestl::SmartPtr(owner)));
    function->buildLinkName();
    function->setDeclarationNode(declaration);
    if (!declare::declareNativeParameters(run.context, run.deferErrors, *function, declaration)) return false;
    qestl::SmartPtr returnType = declare::nativeReturnType(run.context, run.deferErrors, declaration);
    if (!returnType) return false;
    function->opcode = model::kOpNativeCall;
    function->operandCount = 1;
    function->operands[0] = model::Operand(model::kEax, model::kRegister, model::typeCodeOf(model::asObject(returnType)));
    function->setType(returnType);
    const int32_t convention = model::callingConventionCode(textOf(operandAt(declaration, 1)));
    function->binding[0] = static_cast<uint8_t>(convention);
    // The module answers a same signature with the overload it holds.
    const size_t held = module.members().size();
    if (module.addOverload(function->name.view(), made).kind == model::kErrorOperand ||
        module.members().size() == held) {
        run.fail(diag::OverloadExists, declaration);
        return false;
    }
    if (owner != nullptr && !addWrapper(run, *function, made, *owner, block, declaration)) return false;
    appendStub(module, *function, convention, operandAt(declaration, 2));
    declare::markDeclared(declaration);
    return true;
}

}  // namespace

int32_t compileNativeImportDeclaration(CompileContext& context, const model::NodeHandle& block,
                                       const qestl::SmartPtr& owner, bool deferErrors, bool dynamicTable) {
    if (!block || declare::isDeclared(block)) return 0;
    NativeRun run{context, deferErrors};
    model::ClassObject* ownerClass = model::asClass(model::asObject(owner));
    std::string library;
    if (dynamicTable) {
        if (ownerClass == nullptr) {
            run.fail(diag::ImportTableOutsideClass, block);
            return 0;
        }
        library = "$library_" + std::string(ownerClass->linkName().view());
    } else {
        library = std::string(block->text.view());
    }
    model::ImportModule& module = context.tables().imports().findOrCreateModule(
        library, dynamicTable ? model::kDynamicNativeLibrary : model::kFirstNativeLibrary);
    const model::NodeHandle declarations = operandAt(block, 0);
    if (declarations) {
        for (const model::NodeHandle& declaration : declarations->operands) {
            if (!declaration || declare::isDeclared(declaration)) continue;
            if (!declareImportedFunction(run, module, block, declaration, ownerClass)) return 0;
        }
    }
    if (dynamicTable) ownerClass->operands[7].setObjectRef(qestl::SmartPtr(&module.position), 0);
    declare::markDeclared(block);
    return 0;
}

qestl::SmartPtr builtinTypeByName(std::string_view name, const model::BuiltinTypes& builtins) {
    const struct {
        const char* name;
        model::Builtin type;
    } table[] = {
        {"void", model::Builtin::Void},
        {"byte", model::Builtin::Byte},
        {"char", model::Builtin::Char},
        {"short", model::Builtin::Short},
        {"int", model::Builtin::Int},
        {"long", model::Builtin::Long},
        {"bool", model::Builtin::Bool},
        {"float", model::Builtin::Float},
        {"double", model::Builtin::Double},
        {"String", model::Builtin::String},
        {"ObjectPtr", model::Builtin::ObjectPtr},
        {"ObjectRef", model::Builtin::ObjectRef},
        {"Object", model::Builtin::Any},
        {"Pointer", model::Builtin::Pointer},
        {"Class", model::Builtin::Class},
        {"Method", model::Builtin::Method},
        {"...", model::Builtin::Variadic},
    };
    for (const auto& row : table)
        if (name == row.name) return builtins[row.type];
    return qestl::SmartPtr();
}

const char* nativeTypeName(const IRObject* type) {
    const struct {
        model::Builtin type;
        const char* text;
    } table[] = {
        {model::Builtin::Void, "void "},
        {model::Builtin::Byte, "kbyte "},
        {model::Builtin::Char, "kchar "},
        {model::Builtin::Short, "kshort "},
        {model::Builtin::Int, "kint "},
        {model::Builtin::Long, "klong "},
        {model::Builtin::Bool, "kbool "},
        {model::Builtin::Float, "float "},
        {model::Builtin::Double, "double "},
        {model::Builtin::String, "kstring "},
        {model::Builtin::ObjectPtr, "kptr "},
        {model::Builtin::Pointer, "kptr "},
        {model::Builtin::Method, "kptr "},
        {model::Builtin::Any, "KObject * "},
        {model::Builtin::ObjectRef, "KObject * "},
        {model::Builtin::Variadic, "... "},
    };
    if (type == nullptr) return "unknow";
    for (const auto& row : table)
        if (model::isBuiltin(type, row.type)) return row.text;
    return "unknow";
}
