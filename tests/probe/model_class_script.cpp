#include "model_class_script.h"

#include <cinttypes>

#include "model/array_object.h"
#include "model/class_object.h"
#include "model/declaration_views.h"
#include "model/image_heap.h"
#include "model/instance_object.h"
#include "model/record_dumps.h"
#include "source/ast_nodes.h"

namespace probe {

using model::IRObject;
using qestl::SmartPtr;

ClassCommands::ClassCommands(ScriptAccess& script, TestModelContext& context,
                             std::map<std::string, SmartPtr>& handles)
    : script_(script), context_(context), handles_(handles) {
    imports_ = model::adoptLive(new model::ImportTable());
    handles_["imports"] = imports_;
}

void ClassCommands::teardown() {
    imports_.as<model::cbSmartCore>()->detach();
    imports_.reset();
    modules_.clear();
}

SmartPtr ClassCommands::makeArrayOf(const std::string& element) {
    SmartPtr made = model::makeArray(script_.handle(element), context_.builtins().longType);
    context_.madeArrays.pushBack(made);
    return made;
}

model::ClassObject& ClassCommands::classNamed(const std::string& name) {
    model::ClassObject* found = model::asClass(script_.object(name));
    if (found == nullptr) throw Impossible();
    return *found;
}

model::ImportModule& ClassCommands::module(const std::string& name) {
    auto found = modules_.find(name);
    if (found == modules_.end()) throw Impossible();
    return *found->second;
}

std::string ClassCommands::tableNames(const model::Container& table) {
    std::string out;
    for (const SmartPtr& member : table.members()) out += (out.empty() ? "" : " ") + script_.nameOf(member);
    return out.empty() ? "done" : out;
}

bool ClassCommands::silentCommand(const Words& w) {
    const std::string& c = w[0];
    auto need = [&](size_t count) {
        if (w.size() < count) throw Impossible();
    };
    if (c == "class") {
        need(2);
        SmartPtr made = model::makeClass(w[1], context_.builtins().classType);
        if (w.size() > 2) made.as<IRObject>()->setOwner(model::IRResult(script_.handle(w[2])));
        handles_[w[1]] = made;
    } else if (c == "base") {
        need(3);
        const uint32_t access = w.size() < 4 ? 64 : w[3] == "protected" ? 32 : w[3] == "private" ? 0 : 64;
        classNamed(w[1]).setBaseClass(script_.handle(w[2]), access);
    } else if (c == "instance") {
        need(3);
        handles_[w[1]] = model::makeInstance(script_.handle(w[2]), model::IRResult(), context_.builtins().classType);
    } else if (c == "heap") {
        need(2);
        script_.addContainer(w[1], std::make_unique<model::cbHeap>());
    } else if (c == "viewer") {
        need(2);
        context_.currentViewer = w[1] == "-" ? SmartPtr() : script_.handle(w[1]);
    } else if (c == "setconst") {
        need(2);
        script_.object(w[1])->setConst(true);
    } else if (c == "annotate") {
        // annotate N [KEY=VALUE...]: a declaration node with a "Native"
        // annotation carrying the pairs.
        need(2);
        IRObject& o = *script_.object(w[1]);
        if (!o.declarationNode) o.declarationNode = makeAstNode(NodeKind::Name, w[1].c_str());
        _KNode<qeAbstractNode> list = makeAstNode(NodeKind::AnnotationList);
        _KNode<qeAbstractNode> annotation = makeAstNode(NodeKind::Annotation, "Native");
        for (size_t i = 2; i < w.size(); ++i) {
            const size_t equals = w[i].find('=');
            if (equals == std::string::npos) throw Impossible();
            _KNode<qeAbstractNode> item = makeAstNode(NodeKind::Name, w[i].substr(0, equals).c_str());
            item->operands.pushBack(makeAstNode(NodeKind::Name, w[i].substr(equals + 1).c_str()));
            annotation->operands.pushBack(item);
        }
        list->operands.pushBack(annotation);
        o.declarationNode.get()->setAnnotations(list);
    } else if (c == "import") {
        need(4);
        // The declaration pass's order: record, name, result, convention,
        // parameters.
        auto* function = new model::ImportedFunction();
        SmartPtr held = model::adoptLive(function);
        function->opcode = model::kOpNativeCall;
        function->operandCount = 1;
        function->setName(w[1]);
        function->setType(w[3] == "-" ? SmartPtr() : script_.handle(w[3]));
        function->setConvention(w[2] == "-" ? "" : w[2]);
        for (size_t i = 4; i < w.size(); ++i) {
            const bool byReference = w[i][0] == '&';
            SmartPtr parameter =
                model::makeObject("", model::kKindVariable, script_.handle(w[i].substr(byReference ? 1 : 0)), 0);
            if (byReference) parameter.as<IRObject>()->modifiers |= 1;
            function->addParameter(parameter);
        }
        function->buildLinkName();
        handles_[w[1]] = held;
    } else if (c == "module") {
        need(4);
        modules_[w[1]] = &imports_.as<model::ImportTable>()->findOrCreateModule(
            w[2], static_cast<uint32_t>(number(w[3])));
    } else {
        return false;
    }
    return true;
}

bool ClassCommands::run(const Words& w, std::string& out, bool& silent) {
    silent = true;
    if (silentCommand(w)) return true;
    silent = false;
    const std::string& c = w[0];
    auto need = [&](size_t count) {
        if (w.size() < count) throw Impossible();
    };
    const bool isStatic = w.size() > 3 && w[3] == "static";
    if (c == "prop" || c == "meth" || c == "member") {
        need(3);
        model::ClassObject& owner = classNamed(w[1]);
        const SmartPtr& member = script_.handle(w[2]);
        const std::string_view name = script_.object(w[2])->name.view();
        model::Operand made;
        if (c == "prop") made = owner.addProperty(name, member, isStatic);
        else if (c == "meth") made = owner.addMethod(context_, name, member, isStatic);
        else made = owner.addClassMember(name, member, isStatic);
        out = script_.show(made);
    } else if (c == "nativeprop") {
        // nativeprop C N [const] [unnamed]: a built-in instance field.
        need(3);
        bool constant = false;
        for (size_t i = 3; i < w.size(); ++i) {
            if (w[i] == "const") constant = true;
            else if (w[i] == "unnamed") script_.object(w[2])->name.assign("");
            else throw Impossible();
        }
        out = script_.show(classNamed(w[1]).addNativeProperty(script_.handle(w[2]), constant));
        out += " " + std::string(script_.object(w[2])->name.c_str()) + " " + script_.object(w[2])->linkName().c_str();
    } else if (c == "staticmember") {
        // staticmember C N: a constant of a built-in class, with its global.
        need(3);
        out = script_.show(classNamed(w[1]).addStaticMember(context_, script_.handle(w[2])));
        IRObject& member = *script_.object(w[2]);
        char link[24];
        std::snprintf(link, sizeof link, "%016" PRIx64, member.memberLink());
        const std::string global = "$" + std::string(classNamed(w[1]).name.c_str()) + "@" + member.name.c_str();
        out += " " + std::string(member.linkName().c_str()) + " " + link + " " +
               (context_.heaps[0].indexesOf(global) ? global : "no global");
    } else if (c == "targ") {
        need(4);
        out = script_.show(classNamed(w[1]).addTemplateArgument(w[2], script_.handle(w[3])));
    } else if (c == "members" && modules_.count(w.size() > 1 ? w[1] : "")) {
        out = tableNames(module(w[1]));
    } else if (c == "members" && w.size() > 2) {
        model::ClassObject& owner = classNamed(w[1]);
        const std::map<std::string, uint32_t> kinds = {
            {"dynmethods", model::kDynamicMethods}, {"statmethods", model::kStaticMethods},
            {"dynprops", model::kDynamicProperties}, {"statprops", model::kStaticProperties},
            {"anon", model::kAnonymousProperties}, {"targs", model::kTemplateArguments}};
        auto found = kinds.find(w[2]);
        if (found == kinds.end()) throw Impossible();
        if (found->second == model::kAnonymousProperties && !owner.writesAnonymousTable()) throw Impossible();
        out = tableNames(owner.table(found->second));
    } else if (c == "native") {
        out = native(w);
    } else if (c == "lookup") {
        out = lookup(w);
    } else if (c == "layout") {
        // layout C [quiet]: the result, the layout block, the main list.
        need(2);
        const size_t before = context_.mainList.size();
        out = classNamed(w[1]).computeNativeLayout(context_, w.size() < 3) ? "true" : "false";
        if (classNamed(w[1]).rareClass().hasNativeLayout) out += " " + textAt(layoutAddress(w[1]), 0);
        for (size_t i = before; i < context_.mainList.size(); ++i) {
            const auto* emitted = context_.mainList[i].as<model::cbircode>();
            out += " " + std::to_string(emitted->opcode) + "@" + script_.nameOf(emitted->operands[0].target);
        }
    } else if (c == "unused") {
        need(2);
        model::ClassObject* owner = model::asClass(script_.object(w[1]));
        if (owner == nullptr) throw Impossible();
        owner->dynamicMethods.warnUnusedMembers(context_);
        out = "done";
    } else if (c == "tables") {
        need(2);
        model::ClassObject& owner = classNamed(w[1]);
        out = owner.buildMethodTables(context_) ? "true" : "false";
        out += " merge=" + std::to_string(owner.baseMergePending) + " pending=" + std::to_string(owner.methodTablesPending);
    } else if (c == "derives") {
        need(3);
        out = script_.object(w[1])->isDerivedFrom(script_.object(w[2])) ? "true" : "false";
    } else if (c == "kindfield") {
        need(2);
        out = std::to_string(script_.object(w[1])->kind);
    } else if (c == "selfref") {
        need(2);
        uint32_t depth = 0;
        SmartPtr inner = script_.object(w[1])->selfRef(depth);
        out = (inner ? script_.nameOf(inner) : std::string("-")) + " " + std::to_string(depth);
    } else if (c == "remote") {
        need(2);
        bool ok = false;
        const std::vector<uint8_t> block = model::buildRemoteInterfaceDescriptor(classNamed(w[1]), ok);
        out = ok ? hex(block.data(), block.size()) : "null";
    } else if (c == "binding") {
        need(2);
        auto* function = dynamic_cast<model::ImportedFunction*>(script_.object(w[1]));
        if (function == nullptr) throw Impossible();
        out = hex(function->binding, sizeof function->binding);
    } else if (c == "overload") {
        need(3);
        out = script_.show(module(w[1]).addOverload(script_.object(w[2])->name.view(), script_.handle(w[2])));
    } else if (c == "format") {
        need(2);
        out = model::formatDeclaration(*script_.object(w[1])).c_str();
    } else if (c == "dump") {
        need(2);
        out = dump(w[1]);
    } else if (modules_.count(w.size() > 1 ? w[1] : "") && (c == "place" || c == "encode" || c == "size")) {
        model::ImportModule& m = module(w[1]);
        if (c == "size") {
            out = std::to_string(m.moduleSize());
        } else if (c == "place") {
            need(3);
            modulePlaces_[w[1]] = static_cast<uint64_t>(number(w[2]));
            out = std::to_string(m.placeModule(context_, modulePlaces_[w[1]]));
        } else {
            m.resolveMembers(context_);
            qestl::ByteVector bytes;
            qestl::ByteWriter writer(bytes);
            m.encodeModule(context_, writer, context_.typeStream(), modulePlaces_[w[1]]);
            out = hex(bytes.data(), bytes.size());
        }
    } else {
        return false;
    }
    return true;
}

std::string ClassCommands::native(const Words& w) {
    // native H C NAME RET static|instance|nonvirtual [noobj] [abstract] [TYPE[:NAME]...]
    if (w.size() < 6) throw Impossible();
    model::ClassObject& owner = classNamed(w[2]);
    model::BuiltinMethodDecl decl;
    decl.name.assign(w[3].c_str());
    decl.returnType = w[4] == "-" ? SmartPtr() : script_.handle(w[4]);
    decl.isStatic = w[5] == "static";
    decl.nonVirtual = w[5] == "nonvirtual";
    for (size_t i = 6; i < w.size(); ++i) {
        if (w[i] == "noobj") {
            decl.noObjectReturn = 1;
        } else if (w[i] == "abstract") {
            decl.nativeBody = false;
        } else {
            const size_t colon = w[i].find(':');
            const std::string parameterName = colon == std::string::npos ? "" : w[i].substr(colon + 1);
            decl.parameters.push_back(
                model::makeObject(parameterName, model::kKindVariable, script_.handle(w[i].substr(0, colon)), 0));
        }
    }
    std::fflush(stdout);
    SmartPtr made;
    const uint64_t descriptor = model::registerNativeMethod(owner, context_, decl, &made);
    std::fflush(stdout);
    if (made) handles_[w[1]] = made;
    char text[24];
    std::snprintf(text, sizeof text, "0x%016" PRIx64, descriptor);
    return text;
}

std::string ClassCommands::lookup(const Words& w) {
    // lookup C NAME [FLAGS]
    if (w.size() < 3) throw Impossible();
    context_.candidates.clear();
    context_.nearMisses.clear();
    ++context_.generation;
    const auto flags = w.size() > 3 ? static_cast<uint32_t>(number(w[3])) : 3u;
    script_.object(w[1])->bindIntrinsicMember(context_, w[2], flags);
    std::string out;
    for (const model::IRResult& candidate : context_.candidates) {
        IRObject* found = candidate.objectPtr();
        std::string text = std::string(found->getName().c_str()) + ":" + std::to_string(found->kindOf());
        if (found->hasConstantValue()) text += "=" + std::to_string(found->constantValue().value);
        out += (out.empty() ? "" : " ") + text;
    }
    return out.empty() ? "done" : out;
}

uint64_t ClassCommands::layoutAddress(const std::string& name) {
    const model::Operand& layout = classNamed(name).rareClass().nativeLayoutOperand;
    auto* resource = layout.target.as<model::cbircode>();
    return resource ? resource->codeAddress : 0;
}

std::string ClassCommands::textAt(uint64_t address, uint64_t length) {
    const model::NameStringPool& pool = context_.pool;
    if (address >= pool.base() && address - pool.base() < pool.bytes().size()) {
        const auto* start = reinterpret_cast<const char*>(pool.bytes().data() + (address - pool.base()));
        return std::string(start, length);
    }
    // A resource's own address, or its text behind the 28-byte record head
    // (where a listing reads a string resource).
    uint64_t resource = address - TestModelContext::kResourceBase;
    if (address >= TestModelContext::kResourceBase + 28 && resource % 16 == 28 % 16) resource -= 28;
    if (address >= TestModelContext::kResourceBase && resource % 16 == 0 &&
        resource / 16 < context_.resourceTexts.size())
        return context_.resourceTexts[resource / 16];
    return "";
}

std::string ClassCommands::dump(const std::string& name) {
    model::cbircode& record = *script_.handle(name).as<model::cbircode>();
    auto* owner = dynamic_cast<model::ClassObject*>(&record);
    const uint64_t position = owner ? script_.placeOf(name) : record.codeAddress;
    record.resolveOperands(context_);
    qestl::ByteVector bytes;
    qestl::ByteWriter writer(bytes);
    record.encode(context_, writer, nullptr, position);
    model::ImageView image;
    image.data = bytes.data();
    image.size = bytes.size();
    image.base = position;
    image.textOutside = [this](uint64_t address, uint64_t length) { return textAt(address, length); };
    std::string out;
    if (owner) model::dumpClassObjectRecord(out, image, position);
    else model::dumpImportTable(out, image, position);
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

}  // namespace probe
