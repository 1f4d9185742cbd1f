// RemoteCallPipe<S, C>: a proxy whose 256 interface slots are C's abstract
// methods on their own index, placeholders up to 255, then the ten fixed
// methods; its hook pushes the remote descriptors of S and C.
#include <string>

#include "builtins/builtin_registry.h"
#include "builtins/core_texts.h"
#include "codegen/instructions.h"
#include "model/builtin_types.h"
#include "model/class_object.h"
#include "model/function_object.h"
#include "model/ir_object.h"
#include "model/opcodes.h"
#include "model/template_class.h"

namespace builtins {
namespace {

using model::asObject;
using model::ClassObject;
using model::IRObject;

constexpr uint32_t kStubSlots = 256;

qestl::SmartPtr& rcpTemplate() {
    static qestl::SmartPtr templ;
    return templ;
}

bool firstParameterIsLong(const IRObject& method) {
    if (method.parameterCount() == 0) return true;
    const IRObject* first = asObject(method.parameter(0));
    return first != nullptr && model::isBuiltin(asObject(first->type), model::Builtin::Long);
}

bool abstractMethodsTakeLong(const ClassObject& iface) {
    for (const qestl::SmartPtr& member : iface.dynamicMethods.members()) {
        const IRObject* method = asObject(member);
        if (method->isAbstractMethod() && !firstParameterIsLong(*method)) return false;
    }
    return true;
}

void buildProxy(ClassObject& proxy, model::ModelContext& context, const qestl::SmartPtr& served,
                const qestl::SmartPtr& called, const model::NodeHandle& node) {
    IRObject* s = asObject(served);
    IRObject* c = asObject(called);
    if (s == nullptr || !s->isInterface()) return context.reportError(diag::RcpNotInterface, node);
    if (!abstractMethodsTakeLong(*model::asClass(s))) return context.reportError(diag::RcpFirstNotLong, node);
    if (c == nullptr || !c->isInterface()) return context.reportError(diag::RcpNotInterface, node);
    proxy.setBaseClass(called, 64);

    ClassObject& callee = *model::asClass(c);
    // Copied: declaring on the proxy must not disturb the walk over C.
    const model::Container::MemberList methods = callee.dynamicMethods.members();
    model::BuiltinMethodDecl record;
    for (const qestl::SmartPtr& member : methods) {
        const IRObject& method = *asObject(member);
        if (!method.isAbstractMethod()) continue;  // its index stays used
        if (!firstParameterIsLong(method)) return context.reportError(diag::RcpFirstNotLong, node);
        record.initEmpty();
        record.name = method.name;
        record.returnType = method.returnType();
        for (uint64_t i = 0; i < method.parameterCount(); ++i) {
            const IRObject* parameter = asObject(method.parameter(i));
            record.parameters.push_back(model::makeObject(parameter->name.view(), model::kKindVariable,
                                                          parameter->type,
                                                          static_cast<uint8_t>(parameter->modifiers >> 4)));
        }
        // Every stub-table entry is the one empty stub, also for an index
        // past the table: C may have more than 256 methods.
        record.nativeBody = true;
        model::registerNativeMethod(proxy, context, record);
    }
    proxy.addNativeProperty(model::makeObject("!obj", model::kKindVariable, context.builtins().longType, 0), true);
    for (size_t k = methods.size(); k < kStubSlots; ++k) {
        record.initEmpty();
        record.name.assign(("$method_" + std::to_string(k)).c_str());
        record.nativeBody = true;
        record.nonVirtual = 1;
        record.noObjectReturn = 1;
        model::registerNativeMethod(proxy, context, record);
    }
    const qestl::SmartPtr bound[] = {served};
    declareMembers(proxy, context, coreMembers(kRemoteCallPipeFixed), builtinNames(), bound);
}

}  // namespace

qestl::SmartPtr createRemoteCallPipeClass(const qestl::SmartPtr& classType) {
    qestl::SmartPtr made = model::makeTemplateClass("RemoteCallPipe", classType);
    asObject(made)->setId(69);
    rcpTemplate() = made;
    return made;
}

qestl::SmartPtr instantiateRemoteCallPipe(IRObject& templ, model::ModelContext& context,
                                          model::IRValueList& arguments, const model::NodeHandle& node) {
    qestl::SmartPtr made = model::adoptLive(new ClassObject(context.builtins().classType));
    ClassObject& proxy = *model::asClass(asObject(made));
    const qestl::SmartPtr served = arguments.size() > 0 ? templateArgumentType(arguments[0]) : qestl::SmartPtr();
    const qestl::SmartPtr called = arguments.size() > 1 ? templateArgumentType(arguments[1]) : qestl::SmartPtr();
    proxy.addTemplateArgument("!_S", served);
    proxy.addTemplateArgument("!_C", called);
    for (size_t i = 0; i < 2 && i < arguments.size(); ++i) proxy.templateArguments.pushBack(arguments[i]);
    model::bindTemplateInstance(proxy, qestl::SmartPtr(&templ));
    proxy.editRare().instanceHook = remoteCallPipeHook;
    proxy.setName("RemoteCallPipe");
    buildProxy(proxy, context, served, called, node);
    return made;
}

void remoteCallPipeHook(IRObject& object, model::ModelContext& context, model::IRResult& result,
                        const model::NodeHandle& node) {
    // S first, then C: the argument values in their order.
    for (const model::IRResult& argument : object.templateArguments) {
        const ClassObject* iface = model::asClass(asObject(templateArgumentType(argument)));
        bool ok = iface != nullptr;
        std::vector<uint8_t> block = ok ? model::buildRemoteInterfaceDescriptor(*iface, ok) : std::vector<uint8_t>();
        if (!ok) return context.reportError(diag::RcpTypesMixed, node);
        result.appendInstructionRef(
            codegen::makeInstructionWithOperand(model::kOpPush, context.binaryResource(block.data(), block.size())));
    }
}

}  // namespace builtins
