#include "codegen/suggestions.h"

#include "codegen/compile_context.h"
#include "codegen/deferred_look_ahead.h"
#include "diagnostics/diagnostics.h"
#include "model/class_object.h"
#include "model/function_object.h"

using model::IRObject;
using model::IRResult;
using model::IRValueList;

namespace {

const char* accessWord(const IRObject& object) {
    if (object.ownerObject() == nullptr) return "";
    switch (object.accessLevel()) {
    case 32: return diag::AccessProtected.text;
    case 64: return diag::AccessPublic.text;
    default: return diag::AccessPrivate.text;
    }
}

const char* classWord(const IRObject& object) {
    if (object.isInterface()) return "Interface";
    if (object.isPackage()) return "Package";
    if (object.isEnum()) return "Enum";
    return "Class";
}

// The object an entry is listed as: a member reached through a value is
// held by an instance that stands for it, and listed as the member itself.
IRObject* listedObject(const IRResult& entry) {
    IRObject* object = entry.objectPtr();
    return object != nullptr ? object->classRef() : nullptr;
}

// The name a class made from a template lists its argument i under.
std::string templateParameterName(IRObject& instance, size_t i) {
    model::ClassObject* holder = model::asClass(&instance);
    const model::Container* arguments = holder != nullptr ? holder->templateArgumentTableIfMade() : nullptr;
    return arguments != nullptr ? arguments->templateParameterNameAt(i) : std::string();
}

// The listing under its heading, or the line saying nothing was found.
void appendFoundOr(qestl::qestringA& text, const qestl::qestringA& found, const Diagnostic& heading,
                   const Diagnostic& missing) {
    if (!found.empty()) {
        appendDiagnostic(text, heading);
        text.append(found);
    } else {
        text.append("\n");
        appendDiagnostic(text, missing);
        text.append("\n");
    }
    text.append("\n");
}

}  // namespace

void describeTemplate(IRObject& object, qestl::qestringA& text) {
    IRObject* templ = model::asObject(object.rare().templateOrigin);
    if (templ == nullptr) return;
    appendDiagnostic(text, diag::ListedTemplate, templ->displayName(), templ->linkName());
    for (size_t i = 0; i < object.templateArguments.size(); ++i) {
        IRObject* argument = object.templateArguments[i].objectPtr();
        const std::string name = templateParameterName(object, i);
        if (argument == nullptr) text.appendFormat("\n %s = %s[%s]", name.c_str(), "nilptr", "");
        else
            text.appendFormat("\n %s = %s[%s]", name.c_str(), argument->displayName().c_str(),
                              argument->linkName().c_str());
    }
}

void dumpScopeSymbols(CompileContext& context, const IRValueList& list, qestl::qestringA& text) {
    int k = 0;
    for (const IRResult& entry : list) {
        text.appendFormat("%d:", ++k);
        IRObject* object = listedObject(entry);
        if (object != nullptr) {
            const char* access = accessWord(*object);
            if (object->kind == model::kKindClass) {
                appendDiagnostic(text, diag::ListedClass, object->displayName(), classWord(*object), object->linkName(),
                                 access);
                describeTemplate(*object, text);
            } else if (object->kind == model::kKindFunction) {
                appendDiagnostic(text, diag::ListedMethod, object->displayName(), object->linkName(), access);
            } else if (object->kind == model::kKindVariable) {
                IRObject* type = model::asObject(object->valueType());
                const std::string typeName = type ? std::string(type->displayName().view()) : "parsing";
                const std::string typeLink = type ? std::string(type->linkName().view()) : "parsing";
                appendDiagnostic(text, diag::ListedObject, object->displayName(), typeName, typeLink, access);
            } else {
                text.append("\n");
            }
            if (const model::NodeHandle declaration = object->declarationNode.handle())
                appendDiagnostic(text, diag::ListedPlace, context.diagnostics().sourceName(declaration),
                                 static_cast<int>(declaration->startLine + 1),
                                 static_cast<int>(declaration->startColumn + 1));
        } else {
            text.append("\n");
        }
        text.append("\n\n");
    }
    text.append("\n");
}

void appendDidYouMean(CompileContext& context, qestl::qestringA& text, model::NodeHandle node) {
    if (context.lookup().nearMisses().empty()) return;
    if (node && node->textEnd > node->textStart) text.append(context.diagnostics().sourceExcerpt(node).c_str());
    appendDiagnostic(text, diag::DidYouMean);
    dumpScopeSymbols(context, context.lookup().nearMisses().resolved(), text);
}

void describeTypeCandidates(const IRValueList& list, qestl::qestringA& text) {
    qestl::qestringA found;
    for (const IRResult& entry : list) {
        IRObject* object = listedObject(entry);
        if (object == nullptr || object->kind != model::kKindClass) continue;
        describeTemplate(*object, text);
        found.appendFormat("\n:%s [%s]", object->displayName().c_str(), object->linkName().c_str());
    }
    appendFoundOr(text, found, diag::FoundClasses, diag::NoClassFound);
}

void describeMethodCandidates(const IRValueList& list, qestl::qestringA& text) {
    qestl::qestringA found;
    int j = 0;
    for (const IRResult& entry : list) {
        ++j;
        IRObject* object = listedObject(entry);
        if (object == nullptr || !object->isFunction()) continue;
        auto* function = static_cast<model::FunctionObject*>(object);
        appendDiagnostic(found, diag::CandidateMethod, j, function->displayName(), function->linkName());
        if (function->parameterCount() != 0) {
            appendDiagnostic(found, diag::RequiredParameters, static_cast<int>(function->parameterCount()));
            function->describeParameters(found);
        } else {
            appendDiagnostic(found, diag::NoParameters);
        }
        if (function->throwsCount() != 0) {
            appendDiagnostic(found, diag::ThrowsCount, static_cast<int>(function->throwsCount()));
            function->describeThrows(found);
        } else {
            appendDiagnostic(found, diag::NoThrows);
        }
    }
    appendFoundOr(text, found, diag::FoundMethods, diag::NoMethodFound);
}

void describeArgumentsAndCandidates(const IRValueListArray& arguments, qestl::qestringA& text) {
    if (arguments.empty()) {
        appendDiagnostic(text, diag::NoArguments);
        return;
    }
    appendDiagnostic(text, diag::ArgumentsHeading);
    for (size_t i = 0; i < arguments.size(); ++i) {
        const IRValueList& candidates = arguments[i];
        appendDiagnostic(text, diag::ArgumentCandidates, static_cast<int>(i + 1), static_cast<int>(candidates.size()));
        int j = 0;
        for (const IRResult& candidate : candidates) {
            ++j;
            IRObject* object = listedObject(candidate);
            if (object == nullptr) continue;
            if (object->kind == model::kKindClass) {
                appendDiagnostic(text, diag::ArgumentClass, object->displayName(), classWord(*object),
                                 object->linkName());
            } else if (object->isFunction()) {
                appendDiagnostic(text, diag::ArgumentCandidate, j, object->displayName(), "Method");
            } else {
                IRObject* type = model::asObject(object->valueType());
                const std::string_view none;
                appendDiagnostic(text, diag::ArgumentCandidate, j, type ? type->displayName().view() : none,
                                 type ? type->linkName().view() : none);
            }
        }
    }
}

void appendCandidateList(IRValueList& list, qestl::qestringA& text) {
    int k = 0;
    for (const IRResult& entry : list) {
        IRObject* object = entry.objectPtr();
        text.appendFormat("\t\n%d : %s [%s]", ++k, object ? object->displayName().c_str() : "",
                          object ? object->linkName().c_str() : "");
    }
    text.append("\n");
    list.clear();
}

void CompileContext::describeCandidates(qestl::qestringA& text, const model::NodeHandle& node) {
    describeMethodCandidates(lookup_.candidates(), text);
    appendDidYouMean(*this, text, node);
}

void CompileContext::reportDeferred() {
    const DeferredDiagnostics& deferred = diagnostics_.deferred();
    const std::vector<DeferredDiagnostics::Entry>& entries = deferred.entries();
    for (size_t i = 0; i < entries.size(); ++i) {
        deferredahead::loadAhead(deferred, entries, i);
        const DeferredDiagnostics::Entry& entry = entries[i];
        if (!entry.node) {
            diagnostics_.deliverError(deferred.textOf(entry), entry.node);
            continue;
        }
        if ((entry.node->flags & NodeFlag::DeclarationMark) == 0) continue;
        entry.node->flags &= ~NodeFlag::DeclarationMark;
        if (entry.suggesting == nullptr) {
            diagnostics_.reportErrorOnce(deferred.textOf(entry), entry.node);
            continue;
        }
        // The near misses noted when the error was deferred are listed now.
        qestl::qestringA listing;
        codegen::NearMissList outer;
        outer.swap(lookup_.nearMisses());
        lookup_.nearMisses() = deferred.suggestionsOf(entry);
        appendDidYouMean(*this, listing, entry.node);
        lookup_.nearMisses().swap(outer);
        diagnostics_.reportErrorOnce(formatDiagnostic(*entry.suggesting, {DiagnosticArgument(listing)}), entry.node);
    }
}
