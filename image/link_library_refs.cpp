// Object references of link libraries: what the records of the model write
// and read for every object they point to.
#include <string>

#include "codegen/compile_context.h"
#include "foundation/byte_io.h"
#include "foundation/logger.h"
#include "image/link_library.h"
#include "model/array_object.h"
#include "model/class_object.h"
#include "model/function_object.h"
#include "model/instance_object.h"
#include "model/native_import.h"
#include "model/opcodes.h"

using model::IRObject;
using qestl::SmartPtr;

namespace {

constexpr uint32_t kFunctionRecordOpcode = 169;

// The key a built-in class is entered under: its id, or the reserved key of
// one without (void 0, nil -1, ...).
int32_t builtinKey(const IRObject& object) {
    return object.builtinClassId != 0 ? static_cast<int32_t>(object.builtinClassId) : object.builtinRefKey();
}

// An instance of a built-in template (List<int>): the reader makes it again
// from the template and the arguments.
bool isBuiltinInstance(const IRObject& object) {
    const IRObject* origin = model::asObject(object.rare().builtinTemplate);
    return object.kind == model::kKindClass && origin != nullptr && (origin->flagsB & model::kFlagByBuiltinId) &&
           !object.templateArguments.empty();
}

// A member of a built-in class or of a built-in template's instance comes
// with every compiler: nothing to write.
bool isCatalogueMember(const IRObject& object) {
    if (object.kind == model::kKindClass) return false;
    const IRObject* owner = object.ownerObject();
    return owner != nullptr && ((owner->flagsB & model::kFlagByBuiltinId) != 0 || isBuiltinInstance(*owner));
}

IRObject* objectForKind(uint32_t kind, const model::BuiltinTypes& builtins) {
    switch (kind) {
    case model::kKindClass: return new model::ClassObject(builtins.classType);
    case model::kKindFunction: {
        auto* function = new model::FunctionObject();
        function->opcode = kFunctionRecordOpcode;
        return function;
    }
    case model::kKindVariable: return new IRObject();
    case model::kKindArray: return new model::ArrayObject(SmartPtr(), builtins.longType);
    case model::kKindInstance: return new model::InstanceObject(SmartPtr(), model::IRResult(), builtins.classType);
    case model::kKindTemplateFunction: return new model::TemplateFunctionObject();
    default: return nullptr;
    }
}

}  // namespace

uint32_t ProjectSourcePaths::registerPath(const qestl::qestringW& path) { return project_.addSourceFile(path, nullptr); }

bool LinkLibraryWriter::writeNothingRef() {
    out.u32le(kRefNothing);
    return true;
}

bool LinkLibraryWriter::writeObjectRef(const SmartPtr& ref) {
    IRObject* object = model::asObject(ref);
    if (object == nullptr) return writeNothingRef();
    // An instance of a built-in template is not marked built-in itself (it
    // carries its template's id): the reader makes it again from the
    // template and its arguments.
    if (isBuiltinInstance(*object)) {
        out.u32le(kRefBuiltinInstance);
        out.u64le(
            static_cast<uint64_t>(static_cast<int64_t>(builtinKey(*model::asObject(object->rare().builtinTemplate)))));
        out.u32le(static_cast<uint32_t>(object->templateArguments.size()));
        for (const model::IRResult& argument : object->templateArguments)
            if (!writeObjectRef(argument.object)) return false;
        return true;
    }
    if (object->flagsB & model::kFlagByBuiltinId) {
        out.u32le(kRefBuiltin);
        out.u64le(static_cast<uint64_t>(static_cast<int64_t>(builtinKey(*object))));
        return true;
    }
    if (isCatalogueMember(*object)) return writeNothingRef();
    if (hidden.count(object->serial()) != 0) {
        if (!exports.empty()) {
            context.reportError(diag::HiddenInUse, model::NodeHandle(), object->name);
        }
        return writeNothingRef();
    }
    if (auto found = written_.find(object->serial()); found != written_.end()) {
        out.u32le(kRefWritten);
        out.u64le(found->second);
        return true;
    }
    // A stand-in for a member its library did not write (one of the
    // catalogue's) is written as nothing again.
    if (object->kind == 0) return writeNothingRef();
    written_.emplace(object->serial(), claimIdentity(*object));
    // The binding of a native member method serves the run-time module, not
    // the programs linking against the library, and the reader expects a
    // plain function record.
    if (auto* imported = dynamic_cast<model::ImportedFunction*>(object))
        return imported->FunctionObject::writeToLibrary(*this);
    return object->writeToLibrary(*this);
}

uint64_t LinkLibraryWriter::claimIdentity(const IRObject& object) {
    uint64_t identity = object.identity();
    while (!identities_.insert(identity).second) identity = nextFresh_++;
    return identity;
}

uint64_t LinkLibraryWriter::identityOf(const IRObject& object) {
    auto found = written_.find(object.serial());
    return found != written_.end() ? found->second : object.identity();
}

bool LinkLibraryWriter::writeDeclarationTree(const _KNode<qeAbstractNode>& declaration) {
    if (!declaration) {
        out.u32le(0);
        return true;
    }
    DeclarationAstWriter tree;
    qestl::WStringVector paths;
    for (uint32_t i = 0; i < context.project().fileCount(); ++i) paths.pushBack(context.project().filePath(i));
    qestl::qeByteStream block;
    if (!writeStringList(tree.stream, paths) || !writeDeclarationAst(tree, declaration) ||
        !writeDeclarationBlock(block, tree))
        return false;
    if (block.size() > UINT32_MAX) return false;
    out.u32le(static_cast<uint32_t>(block.size()));
    out.bytes(block.data(), block.size());
    return true;
}

bool LinkLibraryReader::readDeclarationTree(_KNode<qeAbstractNode>& declaration) {
    const uint32_t length = in.u32le();
    if (!in.ok() || length > in.remaining()) return false;
    declaration.reset();
    if (length == 0) return true;
    const uint8_t* bytes = in.take(length);
    qestl::qeByteStream block(bytes, length);
    DeclarationAstReader tree;
    tree.unitLevel = static_cast<uint16_t>(libraryNumber);
    ProjectSourcePaths paths(context.project());
    return readDeclarationAst(tree, paths, declaration, block);
}

bool LinkLibraryReader::readObjectRef(SmartPtr& object) {
    object.reset();
    const uint32_t tag = in.u32le();
    if (!in.ok()) return false;
    if (tag == kRefNothing) return true;
    if (tag == kRefBuiltinInstance) return readBuiltinInstance(object);
    const uint64_t identity = in.u64le();
    if (!in.ok()) return false;
    if (tag == kRefBuiltin) {
        object = context.tables().classById(static_cast<int32_t>(static_cast<uint32_t>(identity)));
        return static_cast<bool>(object);
    }
    if (tag == kRefWritten) {
        auto found = identities_.find(identity);
        if (found == identities_.end()) return false;
        object = found->second;
        return true;
    }
    IRObject* fresh = objectForKind(tag, context.builtins());
    if (fresh == nullptr || openRecords_ >= kMaxOpenRecords) {
        delete fresh;
        return false;
    }
    SmartPtr made = model::adoptLive(fresh);
    identities_[identity] = made;
    this->made.emplace_back(identity, made);
    fresh->setLibraryIdentity(identity);
    fresh->editRare().libraryNumber = libraryNumber;
    fresh->imported = 1;
    ++openRecords_;
    const bool read = fresh->readFromLibrary(tag, *this);
    --openRecords_;
    if (!read) return false;
    if (fresh->isPackage()) context.lookup().packages()[std::string(fresh->linkName().view())] = made;
    object = made;
    return true;
}

bool LinkLibraryReader::readBuiltinInstance(SmartPtr& object) {
    const uint64_t key = in.u64le();
    const uint32_t count = in.u32le();
    if (!in.ok() || count == 0 || !in.fitsRemaining(count, 4)) return false;
    const SmartPtr builtin = context.tables().classById(static_cast<int32_t>(static_cast<uint32_t>(key)));
    if (!builtin || openRecords_ >= kMaxOpenRecords) return false;
    model::IRValueList arguments;
    ++openRecords_;
    for (uint32_t i = 0; i < count; ++i) {
        SmartPtr argument;
        if (!readObjectRef(argument) || !argument) {
            --openRecords_;
            return false;
        }
        arguments.pushBack(model::IRResult(argument));
    }
    --openRecords_;
    object = model::asObject(builtin)->instantiate(context, arguments, model::NodeHandle());
    if (object) instances.push_back(object);
    return static_cast<bool>(object);
}

void LinkLibraryReader::discardMade() {
    identities_.clear();
    for (auto& [identity, object] : made) {
        auto entered = context.lookup().packages().find(std::string(model::asObject(object)->linkName().view()));
        if (entered != context.lookup().packages().end() && entered->second.get() == object.get())
            context.lookup().packages().erase(entered);
        model::releaseReadObject(object);
    }
    made.clear();
    for (const SmartPtr& instance : instances) instance.as<model::cbircode>()->detach();
    instances.clear();
}
