// Link libraries: the file's framing, its writer, its loader and the export
// settings of a .kdef document.
#include "image/link_library.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "codegen/compile_context.h"
#include "codegen/instructions.h"
#include "foundation/json.h"
#include "model/opcodes.h"
#include "options/compile_options.h"

using model::IRObject;
using qestl::SmartPtr;

namespace {

constexpr char kMagic[3] = {'K', 'D', '!'};

// Every name of the array resolved from the global scope part by part.
template <typename Found, typename Missing>
void resolveNames(CompileContext& context, const JsonNode* array, Found found, Missing missing) {
    if (array == nullptr || jsonKind(array->value) != kJsonArray) return;
    for (const JsonNode* item = array->value->child; item != nullptr; item = item->next) {
        if (jsonKind(item->value) != kJsonString) continue;
        const std::string_view name(item->value->string);
        SmartPtr resolved = context.resolveDottedName(name);
        if (resolved) found(resolved);
        else missing(name);
    }
}

// The bytes left in a stream read forward only: at most its size. A package
// member's size is only what its archive declares, so the buffer grows with
// the bytes that actually arrive instead of being sized from it up front.
bool readRest(qestl::qeistream& stream, uint64_t consumed, qestl::ByteVector& bytes) {
    const uint64_t size = stream.size();
    if (size < consumed) return false;
    const uint64_t rest = size - consumed;
    if (rest > UINT32_MAX) return false;
    uint8_t piece[16384];
    while (bytes.size() < rest) {
        const uint64_t want = std::min<uint64_t>(sizeof piece, rest - bytes.size());
        const uint32_t got = stream.read(piece, static_cast<uint32_t>(want));
        if (got == 0 || got > want) return false;
        bytes.append(piece, got);
    }
    return true;
}

void printWithPath(const char* format, const qestl::qestringW& path) {
    std::printf(format, qestl::narrow(path).c_str());
    std::fflush(stdout);
}

}  // namespace

qestl::qestringA moduleNameFromPath(const qestl::qestringW& path) {
    std::string name(qestl::narrow(path).view());
    const size_t slash = name.find_last_of("/\\");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.replace(dot, std::string::npos, ".slk");
    return qestl::qestringA(name);
}

void applyLibraryExportSettings(LinkLibraryWriter& writer, const cbjson& document) {
    const JsonNode* root = document.root();
    if (root == nullptr || jsonKind(root->value) != kJsonObject) return;
    if (const JsonNode* library = jsonGetObjectItem(root, "library")) {
        writer.moduleFlag = 1;
        if (jsonKind(library->value) == kJsonString) writer.moduleName = qestl::qestringA(library->value->string);
    }
    CompileContext& context = writer.context;
    resolveNames(
        context, jsonGetObjectItem(root, "exports"), [&](const SmartPtr& object) { writer.exports.pushBack(object); },
        [&](std::string_view name) { context.reportError(diag::ExportNotFound, model::NodeHandle(), name); });
    resolveNames(
        context, jsonGetObjectItem(root, "hidden"),
        [&](const SmartPtr& object) { writer.hidden.insert(model::asObject(object)->serial()); },
        [&](std::string_view name) { context.reportError(diag::HiddenNotFound, model::NodeHandle(), name); });
}

bool writeLinkLibrary(CompileContext& context, qestl::qeistream& out, const CompileOptions& options) {
    qestl::ByteVector bytes;
    LinkLibraryWriter writer(context, bytes);
    writer.keepOwnersIn(context.tables().containerOwners());
    writer.out.bytes(kMagic, sizeof kMagic);
    writer.out.u32le(kLinkLibraryVersion);
    applyLibraryExportSettings(writer, options.kdefDocument);
    writer.out.u8(writer.moduleFlag);
    writer.writeString(writer.moduleName);
    bool written = true;
    if (writer.exports.empty()) {
        written = context.heap(model::ModelContext::kGlobals).writeToLibrary(writer);
    } else {
        writer.out.u32le(model::kImageHeap);
        writer.out.u32le(kRefNothing);
        writer.out.u32le(static_cast<uint32_t>(writer.exports.size()));
        for (const SmartPtr& exported : writer.exports) {
            written = model::asObject(exported)->kind == model::kKindClass ? writer.writeObjectRef(exported)
                                                                           : writer.writeNothingRef();
            if (!written) break;
        }
    }
    if (!written) return false;
    return out.write(bytes.data(), static_cast<uint32_t>(bytes.size())) == bytes.size();
}

bool readLinkLibraryBody(CompileContext& context, qestl::qeistream& stream, const qestl::qestringW& path,
                         uint32_t libraryNumber, LinkLibraryTrace* trace) {
    qestl::ByteVector bytes;
    if (!readRest(stream, sizeof kMagic + 4, bytes)) return false;
    LinkLibraryReader reader(context, bytes.data(), bytes.size());
    reader.keepOwnersIn(context.tables().containerOwners());
    reader.libraryNumber = libraryNumber;
    reader.moduleFlag = reader.in.u8();
    if (!reader.in.ok() || !model::readLengthString(reader, reader.moduleName)) return false;

    model::Container body(model::kImageHeap);
    const bool read = body.readFromLibrary(reader) && body.kind() == model::kImageHeap &&
                      !body.recordedOwner(reader.owners()) && reader.anonymousLinksComplete() &&
                      reader.in.remaining() == 0;
    if (!read) {
        body.setRecordedOwner(reader.owners(), {});
        body.clear();
        reader.discardMade();
        return false;
    }
    if (reader.templateMethodsRead) context.noteTemplateMethodsListed();
    if (reader.moduleFlag != 0) {
        const qestl::qestringA module =
            reader.moduleName.empty() ? moduleNameFromPath(path) : reader.moduleName;
        if (trace != nullptr) trace->module = module;
        context.tables().moduleEntries().pushBack(
            codegen::makeInstructionWithOperand(model::kOpImportModuleTable, context.stringResource(module.view())));
    }
    model::Container& third = context.heap(model::ModelContext::kBuiltinStatics);
    for (const SmartPtr& member : body.members()) third.findOrCreate(model::asObject(member)->name.view(), member);
    for (const auto& [identity, object] : reader.made) context.tables().keepLinkedObject(object);
    for (const SmartPtr& instance : reader.instances) context.tables().keepLinkedObject(instance);
    if (trace != nullptr) trace->objects = std::move(reader.made);
    body.handOverMembers();
    return true;
}

int loadLinkLibrary(uint32_t libraryNumber, CompileContext& context, const qestl::qestringW& path,
                    qestl::qeistream& stream, LinkLibraryTrace* trace) {
    char magic[sizeof kMagic];
    if (stream.read(magic, sizeof magic) != sizeof magic || std::memcmp(magic, kMagic, sizeof magic) != 0) {
        printWithPath("损坏的链接库文件: %s\n", path);
        return 0;
    }
    uint8_t version[4];
    if (stream.read(version, 4) != 4 || qestl::loadU32LE(version) != kLinkLibraryVersion) {
        printWithPath("链接库是由不兼容版本的编译器创建的,请更新库: %s\n", path);
        return 0;
    }
    if (!readLinkLibraryBody(context, stream, path, libraryNumber, trace)) {
        printWithPath("损坏的链接库文件: %s\n", path);
        return 0;
    }
    return 1;
}
