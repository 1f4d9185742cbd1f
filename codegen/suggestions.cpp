#include "codegen/suggestions.h"

#include "codegen/compile_context.h"
#include "model/class_object.h"
#include "model/function_object.h"

using model::IRObject;
using model::IRResult;
using model::IRValueList;

namespace {

const char* accessWord(const IRObject& object) {
    if (object.ownerObject() == nullptr) return "";
    switch (object.accessLevel()) {
    case 32: return "protected (受保护的)";
    case 64: return "public (公有)";
    default: return "private (私有)";
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
    return holder != nullptr ? holder->templateArgumentTable.templateParameterNameAt(i) : std::string();
}

// The listing under its heading, or the line saying nothing was found.
void appendFoundOr(qestl::qestringA& text, const qestl::qestringA& found, const char* heading, const char* missing) {
    if (!found.empty()) {
        text.append(heading);
        text.append(found);
    } else {
        text.append("\n");
        text.append(missing);
        text.append("\n");
    }
    text.append("\n");
}

}  // namespace

void describeTemplate(IRObject& object, qestl::qestringA& text) {
    IRObject* templ = model::asObject(object.templateOrigin);
    if (templ == nullptr) return;
    text.appendFormat("\n 模板: %s [%s]", templ->displayName().c_str(), templ->linkName().c_str());
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
                text.appendFormat("类型:%s = :%s [%s] %s\n", object->displayName().c_str(), classWord(*object),
                                  object->linkName().c_str(), access);
                describeTemplate(*object, text);
            } else if (object->kind == model::kKindFunction) {
                text.appendFormat("方法:%s = [%s] %s\n", object->displayName().c_str(), object->linkName().c_str(),
                                  access);
            } else if (object->kind == model::kKindVariable) {
                IRObject* type = model::asObject(object->valueType());
                const std::string typeName = type ? std::string(type->displayName().view()) : "parsing";
                const std::string typeLink = type ? std::string(type->linkName().view()) : "parsing";
                text.appendFormat("对象:%s = 类型:%s [%s] %s\n", object->displayName().c_str(), typeName.c_str(),
                                  typeLink.c_str(), access);
            } else {
                text.append("\n");
            }
            if (object->declarationNode)
                text.appendFormat("%s(行:%d, 字:%d)", context.sourceName(object->declarationNode).c_str(),
                                  static_cast<int>(object->declarationNode->startLine + 1),
                                  static_cast<int>(object->declarationNode->startColumn + 1));
        } else {
            text.append("\n");
        }
        text.append("\n\n");
    }
    text.append("\n");
}

void appendDidYouMean(CompileContext& context, qestl::qestringA& text, model::NodeHandle node) {
    if (context.nearMisses().empty()) return;
    if (node && node->textEnd > node->textStart) text.append(context.sourceExcerpt(node).c_str());
    text.append(" - 是否可能指下列对象 ?\n\n");
    dumpScopeSymbols(context, context.nearMisses().resolved(), text);
}

void describeTypeCandidates(const IRValueList& list, qestl::qestringA& text) {
    qestl::qestringA found;
    for (const IRResult& entry : list) {
        IRObject* object = listedObject(entry);
        if (object == nullptr || object->kind != model::kKindClass) continue;
        describeTemplate(*object, text);
        found.appendFormat("\n:%s [%s]", object->displayName().c_str(), object->linkName().c_str());
    }
    appendFoundOr(text, found, "\n找到的类:\n", "找不到类型.");
}

void describeMethodCandidates(const IRValueList& list, qestl::qestringA& text) {
    qestl::qestringA found;
    int j = 0;
    for (const IRResult& entry : list) {
        ++j;
        IRObject* object = listedObject(entry);
        if (object == nullptr || !object->isFunction()) continue;
        auto* function = static_cast<model::FunctionObject*>(object);
        found.appendFormat("\n方法 %d: %s [%s]", j, function->displayName().c_str(), function->linkName().c_str());
        if (function->parameterCount() != 0) {
            found.appendFormat("\n\t要求%d个参数:\n", static_cast<int>(function->parameterCount()));
            function->describeParameters(found);
        } else {
            found.append(" 无参数要求.");
        }
        if (function->throwsCount() != 0) {
            found.appendFormat("\n\t此方法会抛出以下 %d 种异常:\n", static_cast<int>(function->throwsCount()));
            function->describeThrows(found);
        } else {
            found.append(" 无异常抛出.");
        }
    }
    appendFoundOr(text, found, "\n找到的方法:\n", "找不到方法.");
}

void describeArgumentsAndCandidates(const IRValueListArray& arguments, qestl::qestringA& text) {
    if (arguments.empty()) {
        text.append("\n没有输入参数.");
        return;
    }
    text.append("\n输入的参数:\n");
    for (size_t i = 0; i < arguments.size(); ++i) {
        const IRValueList& candidates = arguments[i];
        text.appendFormat("参数%d (%d个可用):", static_cast<int>(i + 1), static_cast<int>(candidates.size()));
        int j = 0;
        for (const IRResult& candidate : candidates) {
            ++j;
            IRObject* object = listedObject(candidate);
            if (object == nullptr) continue;
            if (object->kind == model::kKindClass) {
                text.appendFormat("%s = 类型:%s [%s]\n", object->displayName().c_str(), classWord(*object),
                                  object->linkName().c_str());
            } else if (object->isFunction()) {
                text.appendFormat("\n\t待选参数 %d = 类型:%s [%s]\n", j, object->displayName().c_str(), "Method");
            } else {
                IRObject* type = model::asObject(object->valueType());
                text.appendFormat("\n\t待选参数 %d = 类型:%s [%s]\n", j, type ? type->displayName().c_str() : "",
                                  type ? type->linkName().c_str() : "");
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
