#include "model/native_import.h"

#include "model/builtin_types.h"
#include "model/library_io.h"
#include "model/model_context.h"
#include "model/opcodes.h"

namespace model {
namespace {

struct TypeCode {
    Builtin type;
    uint8_t code;
};

// Results and parameters are coded by different tables.
constexpr TypeCode kResultCodes[] = {{Builtin::Byte, 1},   {Builtin::Char, 2},     {Builtin::Short, 3},
                                     {Builtin::Int, 4},    {Builtin::Long, 5},     {Builtin::Float, 6},
                                     {Builtin::Double, 7}, {Builtin::Bool, 8},     {Builtin::String, 9},
                                     {Builtin::Any, 11},   {Builtin::Pointer, 12}, {Builtin::Variadic, 15}};
constexpr TypeCode kParameterCodes[] = {{Builtin::Bool, 4},       {Builtin::Byte, 4},    {Builtin::Char, 4},
                                        {Builtin::Short, 4},      {Builtin::Int, 4},     {Builtin::Long, 8},
                                        {Builtin::Double, 9},     {Builtin::Float, 10},  {Builtin::ObjectRef, 11},
                                        {Builtin::String, 12},    {Builtin::Any, 13},    {Builtin::Pointer, 14},
                                        {Builtin::ObjectPtr, 15}, {Builtin::Method, 16}, {Builtin::Variadic, 17}};

template <size_t N>
uint8_t codeIn(const TypeCode (&table)[N], const IRObject* type) {
    if (type == nullptr) return 0;
    // The built-in types are plain classes, each its own class reference.
    const IRObject* own = const_cast<IRObject*>(type)->classRef();
    for (const TypeCode& row : table)
        if (isBuiltin(own, row.type)) return row.code;
    return 0;
}

}  // namespace

int32_t callingConventionCode(std::string_view convention) {
    if (convention.empty() || convention == "cdecl") return 0;
    if (convention == "stdcall") return 1;
    if (convention == "fastcall") return 2;
    if (convention == "pascal") return 3;
    return -1;
}

uint8_t nativeReturnCode(const IRObject* type) { return codeIn(kResultCodes, type); }

uint8_t nativeParamCode(const IRObject* parameter) {
    if (parameter == nullptr) return 0;
    if (parameter->modifiers & kModByReference) return 15;
    return codeIn(kParameterCodes, asObject(parameter->valueType()));
}

ImportedFunction::ImportedFunction() = default;

uint64_t ImportedFunction::encode(ModelContext& context, qestl::ByteWriter& out, void* writerData, uint64_t position) {
    const uint64_t written = cbircode::encode(context, out, writerData, position);
    out.bytes(binding, kBindingSize);
    return written + kBindingSize;
}

void ImportedFunction::setType(const qestl::SmartPtr& returnType) {
    type = returnType;
    binding[2] = nativeReturnCode(asObject(returnType));
    buildLinkName();
}

bool ImportedFunction::addParameter(const qestl::SmartPtr& parameterObject, ParameterNames* names) {
    // The binding has 45 places; a parameter past them would be written
    // beyond it.
    if (binding[1] >= kMaxBindingParameters) return false;
    binding[3 + binding[1]] = nativeParamCode(asObject(parameterObject));
    ++binding[1];
    return FunctionObject::addParameter(parameterObject, names);
}

bool ImportedFunction::writeToLibrary(LibraryWriter& out) {
    if (!FunctionObject::writeToLibrary(out)) return false;
    out.out.bytes(binding, kBindingSize);
    return true;
}

bool ImportedFunction::readFromLibrary(uint32_t recordKind, LibraryReader& in) {
    return FunctionObject::readFromLibrary(recordKind, in) && in.in.copyTo(binding, kBindingSize);
}

ImportModule::ImportModule(std::string_view name, uint32_t containerKind)
    : Container(containerKind, kModuleShape), library(name) {
    // The position is part of the module: the module's own hold keeps the
    // references of class records (their dynamic-import operand) from ever
    // freeing it.
    position.addReference();
}

uint64_t ImportModule::placeModule(ModelContext& context, uint64_t at) {
    tableSize = moduleSize();
    position.codeAddress = at;
    return assignAddress(context, at + 12 + library.size());
}

bool ImportModule::resolveMembers(ModelContext& context) {
    bool ok = true;
    for (const qestl::SmartPtr& member : members()) ok = member.as<cbircode>()->resolveOperands(context) && ok;
    return ok;
}

uint64_t ImportModule::encodeModule(ModelContext& context, qestl::ByteWriter& out, qestl::ByteWriter& types,
                                    uint64_t at) {
    const size_t start = out.position();
    out.u64le(moduleSize());
    out.u32le(static_cast<uint32_t>(library.size()));
    out.bytes(library.data(), library.size());
    encode(context, out, types, at + 12 + library.size());
    return out.position() - start;
}

ImportTable::ImportTable() : cbircode(kOpNativeImport, 0) {}

ImportTable::~ImportTable() { detach(); }

void ImportTable::detach() {
    for (ImportModule* module : modules_) {
        module->clear();
        delete module;
    }
    modules_.clear();
    index_.clear();
    cbircode::detach();
}

uint64_t ImportTable::encodedSize() const {
    uint64_t size = 12 * operandCount + 8;
    for (const ImportModule* module : modules_) size += module->moduleSize();
    return size;
}

uint64_t ImportTable::assignAddress(ModelContext& context, uint64_t at) {
    codeAddress = at;
    uint64_t next = at + 12 * operandCount + 8;
    for (ImportModule* module : modules_) next = module->placeModule(context, next);
    return next;
}

bool ImportTable::resolveOperands(ModelContext& context) {
    bool ok = cbircode::resolveOperands(context);
    for (ImportModule* module : modules_) ok = module->resolveMembers(context) && ok;
    return ok;
}

uint64_t ImportTable::encode(ModelContext& context, qestl::ByteWriter& out, void* writerData, uint64_t at) {
    const size_t start = out.position();
    cbircode::encode(context, out, writerData, at);
    out.u32le(static_cast<uint32_t>(modules_.size()));
    uint64_t next = at + 12 * operandCount + 8;
    for (ImportModule* module : modules_) next += module->encodeModule(context, out, context.typeStream(), next);
    return out.position() - start;
}

ImportModule& ImportTable::findOrCreateModule(std::string_view library, uint32_t containerKind) {
    auto found = index_.find(library);
    if (found != index_.end()) return *modules_[found->second];
    index_.emplace(std::string(library), modules_.size());
    modules_.push_back(new ImportModule(library, containerKind));
    return *modules_.back();
}

}  // namespace model
