// Template method calls: each template method among a call's candidates is
// compiled once per binding of its type parameters (written at the call, or
// taken from the argument types), and the instances replace it among the
// candidates the call binder chooses from.
#include "expressions/template_methods.h"

#include <utility>

#include "classes/compile_method.h"
#include "codegen/suggestions.h"
#include "declare/declaration_entries.h"
#include "diagnostics/diagnostics.h"
#include "expressions/compile_expression.h"
#include "model/candidate_rank.h"
#include "model/declaration_views.h"
#include "model/function_object.h"
#include "model/instance_object.h"
#include "source/ast_nodes.h"
#include "statements/compile_walk.h"

using model::IRObject;
using model::IRResult;
using model::IRValueList;

namespace {

// The template parameter list of a template method (reached through a
// value or not): each parameter's name, and its constraint type node.
StatementNode templateParameterList(IRObject& method) {
    return model::IRCore::operandOf(method.classRef()->declarationNode.node(), 0);
}

// The one type a type node names, for a constraint; empty when none is.
qestl::SmartPtr constraintType(CompileContext& context, const StatementNode& typeNode) {
    resolveTypeReference(context, typeNode);
    IRValueList candidates;
    context.lookup().takeResults(candidates);
    for (const IRResult& candidate : candidates)
        if (IRObject* object = candidate.objectPtr(); isTypeObject(object)) return qestl::SmartPtr(object->classRef());
    return qestl::SmartPtr();
}

// Everything the instance changes in the context, given back at the end:
// the scope records (those enclosing the template method), the compile
// mode, the jump labels and the diagnostic capture.
class InstanceScope {
public:
    InstanceScope(CompileContext& context, IRObject& method) : context_(context), jumps_(context.emitter()) {
        std::vector<ScopeRecord> enclosing;
        for (IRObject* scope = method.ownerObject(); scope != nullptr; scope = scope->ownerObject()) {
            ScopeRecord record;
            record.object = qestl::SmartPtr(scope);
            record.mode = ScopeRecord::kObjectScope;
            enclosing.insert(enclosing.begin(), std::move(record));
        }
        replacedRecords_ = !enclosing.empty();
        if (replacedRecords_) {
            savedRecords_.swap(context.lookup().scopes().records);
            context.lookup().scopes().records.swap(enclosing);
            savedMode_ = context.setCompileMode(kDeclareMember);
        }
        capture.begin(context.diagnostics());
    }
    ~InstanceScope() {
        capture.detach(context_.diagnostics());
        if (capture.parent != nullptr) {
            if (capture.hasError) capture.parent->appendError(capture.errorText.view());
            if (capture.hasWarning) {
                capture.parent->warningText.append(capture.warningText);
                capture.parent->hasWarning = 1;
            }
        }
        capture.closed = 1;
        if (replacedRecords_) {
            context_.lookup().scopes().records.swap(savedRecords_);
            context_.setCompileMode(savedMode_);
        }
    }
    InstanceScope(const InstanceScope&) = delete;
    InstanceScope& operator=(const InstanceScope&) = delete;

    DiagnosticCapture capture;

private:
    CompileContext& context_;
    std::vector<ScopeRecord> savedRecords_;
    bool replacedRecords_ = false;
    uint32_t savedMode_ = 0;
    CodeEmitter::JumpsSetAside jumps_;
};

// The value type of an argument candidate: the type a template parameter
// is bound to.
qestl::SmartPtr argumentType(const IRResult& candidate) {
    IRObject* object = candidate.objectPtr();
    return object != nullptr ? object->valueType() : qestl::SmartPtr();
}

// A call of template methods whose value's type is not known yet (an
// assignment's right side): the templates are kept as one record of the
// call, and the call node is compiled again once the receiving type is
// tried (the value's second object and node mark it).
IRResult deferredTemplateCall(const IRResult& candidate, const IRValueListArray& arguments, const StatementNode& call) {
    IRObject& templ = *candidate.objectPtr()->classRef();
    qestl::SmartPtr made = model::adoptLive(new model::TemplateFunctionObject());
    auto* record = made.as<model::TemplateFunctionObject>();
    record->setName(templ.name.view());
    record->declarationNode = templ.declarationNode;
    record->modifiers = templ.modifiers;
    record->setStatic(templ.isStatic());
    record->setConst(templ.isConst());
    record->setOwner(templ.ownerResult.result());
    record->savedLists.assign(arguments.begin(), arguments.end());
    cloneAstSubtree(call.get(), record->editRare().templateNode);
    IRResult kept(candidate);
    kept.object = made;
    kept.secondObject = made;
    kept.secondNode = call;
    return kept;
}

bool isTemplateMethod(const IRResult& candidate) {
    IRObject* object = candidate.objectPtr();
    return object != nullptr && object->classRef()->isKind(model::kKindTemplateFunction);
}

// The types written between the call's angle brackets, each bound to its
// parameter. False after a message (the candidate is dropped).
bool bindWrittenArguments(CompileContext& context, const StatementNode& call, const StatementNode& written,
                          const StatementNode& parameters, TemplateBindings& bindings) {
    const size_t given = written->operands.size();
    const size_t expected = parameters ? parameters->operands.size() : 0;
    if (given != expected) {
        context.reportWarning(diag::TemplateArgumentCount, call, given, expected);
        return false;
    }
    for (size_t i = 0; i < given; ++i) {
        const StatementNode argument = written->operands[i];
        resolveTypeReference(context, argument);
        IRValueList candidates;
        context.lookup().takeResults(candidates);
        const IRResult* chosen = nullptr;
        bool tie = false;
        model::CandidateRank best;
        for (const IRResult& candidate : candidates) {
            const model::CandidateRank score = model::rankOf(candidate);
            if (chosen != nullptr && score == best) tie = true;
            if (chosen == nullptr || score < best) {
                chosen = &candidate;
                best = score;
                tie = false;
            }
        }
        if (chosen == nullptr) {
            qestl::qestringA listing;
            appendDidYouMean(context, listing, argument);
            context.reportError(diag::ArgumentNotFound, call, argument ? argument->text.view() : std::string_view(),
                                listing);
            return false;
        }
        if (tie) {
            qestl::qestringA listing;
            describeMethodCandidates(candidates, listing);
            context.reportError(diag::AmbiguousCall, call, listing);
            return false;
        }
        const StatementNode parameter = parameters->operands[i];
        if (!checkTemplateArgumentBase(bindings, context, parameter ? parameter->text.view() : std::string_view(),
                                       qestl::SmartPtr(chosen->objectPtr()->classRef())))
            return false;
    }
    return true;
}

// The template parameters inferred from the call: those written as the
// declared type of a parameter take the argument types; the one written as
// the return type takes the type the value is wanted as, when there is one.
// False when a parameter could not be inferred (the candidate is dropped).
void instantiateInferred(CompileContext& context, const StatementNode& call, const IRResult& candidate,
                         const IRValueListArray& arguments, const StatementNode& parameters,
                         TemplateBindings& bindings, IRValueList& out) {
    const model::IRFunction view(candidate.objectPtr()->classRef()->declarationNode.node());
    auto typeText = [](const StatementNode& type) { return type ? type->text.view() : std::string_view(); };
    const std::string_view returnText = typeText(view.returnType());
    std::vector<TemplateParameterSlot> slots;
    for (const StatementNode& parameter : parameters->operands) {
        const std::string_view name = parameter ? parameter->text.view() : std::string_view();
        bool written = name == returnText;
        for (size_t i = 0; i < view.parameterCount() && !written; ++i) written = typeText(view.parameterType(i)) == name;
        if (!written) return;
    }
    // The wanted type binds the return type's parameter first, when it
    // meets the constraint; when it does not, the arguments decide (and
    // report the constraint once).
    if (context.lookup().receiver()) {
        const auto constraint = bindings.constraints.find(returnText);
        const bool fits = constraint == bindings.constraints.end() ||
                          model::convertible(&context, model::asObject(context.lookup().receiver()), constraint->second,
                                             true);
        for (const StatementNode& parameter : parameters->operands)
            if (fits && parameter && parameter->text.view() == returnText)
                checkTemplateArgumentBase(bindings, context, returnText, context.lookup().receiver());
    }
    for (size_t i = 0; i < view.parameterCount() && i < arguments.size(); ++i) {
        const std::string_view written = typeText(view.parameterType(i));
        for (const StatementNode& parameter : parameters->operands) {
            if (parameter && parameter->text.view() == written) {
                slots.push_back(TemplateParameterSlot{static_cast<uint32_t>(i), std::string(written)});
                break;
            }
        }
    }
    if (slots.empty()) {
        compileTemplateMethodInstance(context, candidate, out);
        return;
    }
    TemplateEnumeration state{context, call, arguments, std::move(slots), candidate, out};
    bindTemplateArguments(state, bindings, 0);
}

}  // namespace

bool checkTemplateArgumentBase(TemplateBindings& bindings, CompileContext& context, std::string_view name,
                               qestl::SmartPtr argumentType) {
    IRObject* argument = model::asObject(argumentType);
    if (argument == nullptr) return false;
    const auto constraint = bindings.constraints.find(name);
    IRObject* base = constraint != bindings.constraints.end() ? model::asObject(constraint->second) : nullptr;
    if (base != nullptr && !model::convertible(&context, argument, constraint->second, true)) {
        context.reportError(diag::TemplateConstraint, model::NodeHandle(), name, base->displayName());
        return false;
    }
    bindings.bound.emplace(std::string(name), std::move(argumentType));
    return true;
}

void bindTemplateArguments(TemplateEnumeration& state, TemplateBindings& bindings, size_t depth) {
    const TemplateParameterSlot& slot = state.slots[depth];
    if (slot.argument >= state.arguments.size()) return;
    for (const IRResult& candidate : state.arguments[slot.argument]) {
        // A binding made here gives way to the next candidate's; one made
        // before (the wanted return type) stays for every combination.
        const bool boundBefore = bindings.bound.count(slot.name) != 0;
        if (!checkTemplateArgumentBase(bindings, state.context, slot.name, argumentType(candidate))) break;
        if (depth + 1 == state.slots.size())
            compileTemplateMethodInstance(state.context, state.method, state.out);
        else
            bindTemplateArguments(state, bindings, depth + 1);
        if (!boundBefore) bindings.bound.erase(slot.name);
    }
}

bool compileTemplateMethodInstance(CompileContext& context, const IRResult& candidate, IRValueList& out) {
    IRObject* method = candidate.objectPtr();
    // A method reached through a value is an instance of the template.
    IRObject* templ = method != nullptr ? method->classRef() : nullptr;
    if (templ == nullptr || !templ->declarationNode.get()) return false;
    const bool throughValue = method->isInstance();
    IRValueList made;
    bool failed = false;
    {
        InstanceScope scope(context, *templ);
        StatementNode clone;
        cloneAstNode(templ->declarationNode.get(), clone);
        const model::IRFunction view(clone);
        compileTemplateMethodClone(context, view);
        failed = scope.capture.hasError != 0;
        context.lookup().takeResults(made);
    }
    if (failed) return false;
    for (IRResult& result : made) {
        if (!throughValue) {
            result.sourceNode = candidate.sourceNode;
            result.matchRank = candidate.matchRank;
            out.pushBack(result);
            continue;
        }
        const IRResult owner = method->ownerResult.result();
        qestl::SmartPtr wrapped = model::makeInstance(result.object, owner, context.builtins().classType);
        IRObject* ownerObject = owner.objectPtr();
        if (ownerObject != nullptr && (ownerObject->modifiers & (model::kStateUndetermined | model::kStateOther)) != 0)
            model::asObject(wrapped)->changeModifiers(model::kModMayNil, 0);
        IRResult value(wrapped, result.operand);
        value.pending = result.pending;
        value.storageIndex = owner.addressCode(false);
        out.pushBack(value);
    }
    return true;
}

void instantiateTemplateMethods(CompileContext& context, const StatementNode& node, const IRValueList& candidates,
                                const IRValueListArray& arguments, IRValueList& methods, DiagnosticCapture& capture) {
    const StatementNode written = model::IRCore::operandOf(node, 1);
    capture.begin(context.diagnostics());
    for (const IRResult& candidate : candidates) {
        IRObject* object = candidate.objectPtr();
        if (!isTemplateMethod(candidate)) {
            methods.pushBack(candidate);
            continue;
        }
        TemplateBindings bindings;
        context.lookup().localScopes().push_back(&bindings.bound);
        const StatementNode parameters = templateParameterList(*object);
        if (parameters) {
            for (const StatementNode& parameter : parameters->operands) {
                if (!parameter || parameter->operands.empty()) continue;
                if (qestl::SmartPtr base = constraintType(context, parameter->operands[0]))
                    bindings.constraints.emplace(std::string(parameter->text.view()), base);
            }
        }
        if (written) {
            if (bindWrittenArguments(context, node, written, parameters, bindings))
                compileTemplateMethodInstance(context, candidate, methods);
        } else if (parameters) {
            instantiateInferred(context, node, candidate, arguments, parameters, bindings, methods);
        }
        context.lookup().localScopes().pop_back();
    }
    capture.close(context.diagnostics());
}

bool compileTemplateMethodCall(CompileContext& context, const StatementNode& node, IRValueList& candidates,
                               IRValueListArray& arguments) {
    // Inside a value whose receiving type is not known yet, a call of
    // template methods alone waits for it.
    if (context.lookup().valueContext() != 0 && !context.lookup().receiver()) {
        bool templatesOnly = true;
        for (const IRResult& candidate : candidates) templatesOnly = templatesOnly && isTemplateMethod(candidate);
        if (templatesOnly) {
            const IRResult deferred = deferredTemplateCall(candidates[0], arguments, node);
            context.lookup().clearResults();
            context.lookup().nearMisses().clear();
            context.lookup().addResult(deferred);
            return true;
        }
    }
    IRValueList methods;
    DiagnosticCapture capture;
    instantiateTemplateMethods(context, node, candidates, arguments, methods, capture);
    // Without a capture around the call, what the instances reported is
    // the user's to see when the call finds no method.
    const bool unheard = capture.parent == nullptr && (capture.hasError || capture.hasWarning);
    if (unheard && methods.empty()) {
        capture.report(context.diagnostics());
        return compileCallToCandidates(context, methods, arguments, node);
    }
    const bool compiled = compileCallToCandidates(context, methods, arguments, node);
    if (unheard && !compiled) capture.report(context.diagnostics());
    return compiled;
}
