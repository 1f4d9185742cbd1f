// Functions of native dynamic libraries: each carries a 48-byte binding
// (convention, parameter count, result and parameter codes); the import table
// groups them by library and is written as the "NATIVE IMPORT" record.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "model/container.h"
#include "model/function_object.h"

namespace model {

constexpr size_t kBindingSize = 48;
// The modifier bit of a native parameter passed by reference or pointer.
constexpr uint32_t kModByReference = 1;
constexpr size_t kMaxBindingParameters = kBindingSize - 3;

// "cdecl" 0 (also the empty text), "stdcall" 1, "fastcall" 2, "pascal" 3,
// anything else -1.
int32_t callingConventionCode(std::string_view convention);
uint8_t nativeReturnCode(const IRObject* type);
uint8_t nativeParamCode(const IRObject* parameter);

class ImportedFunction : public FunctionObject {
public:
    ImportedFunction();

    uint64_t encodedSize() const override { return 12 * operandCount + 4 + kBindingSize; }
    uint64_t encode(ModelContext& context, qestl::ByteWriter& out, void* writerData, uint64_t position) override;
    void setType(const qestl::SmartPtr& returnType) override;
    bool isNative() const override { return true; }
    bool writeToLibrary(LibraryWriter& out) override;
    bool readFromLibrary(uint32_t recordKind, LibraryReader& in) override;
    // Refuses (false, nothing stored) a parameter the binding has no place
    // for.
    bool addParameter(const qestl::SmartPtr& parameterObject, ParameterNames* names = nullptr) override;
    void setConvention(std::string_view convention) {
        binding[0] = static_cast<uint8_t>(callingConventionCode(convention));
    }

    uint8_t binding[kBindingSize] = {};
};

// One native library: its imported functions.
class ImportModule : public Container {
public:
    ImportModule(std::string_view library, uint32_t containerKind);

    uint64_t moduleSize() const { return 12 + library.size() + Container::encodedSize(); }
    uint64_t placeModule(ModelContext& context, uint64_t position);
    bool resolveMembers(ModelContext& context);
    uint64_t encodeModule(ModelContext& context, qestl::ByteWriter& out, qestl::ByteWriter& types, uint64_t position);

    std::string library;
    std::string second;
    // The C declarations of the module's functions, for native sources.
    std::string stubText;
    cbircode position;  // code address: the module's place; size: the table size
    uint64_t tableSize = 0;
};

class ImportTable : public cbircode {
public:
    ImportTable();
    ~ImportTable() override;

    void detach() override;
    uint64_t encodedSize() const override;
    uint64_t assignAddress(ModelContext& context, uint64_t position) override;
    bool resolveOperands(ModelContext& context) override;
    uint64_t encode(ModelContext& context, qestl::ByteWriter& out, void* writerData, uint64_t position) override;

    // The module of a library (exact bytes), made on first use.
    ImportModule& findOrCreateModule(std::string_view library, uint32_t containerKind);
    const std::vector<ImportModule*>& modules() const { return modules_; }

private:
    std::vector<ImportModule*> modules_;
    std::map<std::string, size_t, std::less<>> index_;
};

}  // namespace model
