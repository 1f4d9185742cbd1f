// The compiled form of a method, constructor, operator or free function:
// its parameters, the exception classes it declares, and the exception
// bookkeeping of its body.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "foundation/rare_fields.h"
#include "model/ir_object.h"

namespace model {

class FunctionObject;

// The names of the parameters of the function last added to, while its
// serial and parameter count say they still are: a method of k parameters
// then checks each new name in a set instead of against every parameter
// before it (k^2 for the method; the overloads_by_arity shape of
// bench/hostile_shapes.py). Held by whoever declares the parameters, for
// its compilation; any other function fills it again.
class ParameterNames {
public:
    bool repeats(const FunctionObject& function, std::string_view name);

private:
    uint64_t function_ = 0;
    size_t count_ = 0;
    std::unordered_set<std::string> names_;
};

class FunctionObject : public IRObject {
public:
    FunctionObject();
    ~FunctionObject() override;

    void detach() override;
    bool isFunction() const override { return true; }
    uint32_t writeTypeOperand(qestl::ByteWriter& out, uint64_t base, uint8_t flags, bool useValueType) override;
    bool isConstructor() const override;
    uint64_t parameterCount() const override { return parameters.size(); }
    uint64_t throwsCount() const override { return throwsSet().size(); }
    qestl::SmartPtr returnType() const override { return type; }
    qestl::SmartPtr parameter(uint64_t i) const override;
    // 1 same signature, -1 another return type, -2 another exception list
    // (before the return type), 0 different.
    int32_t sameSignature(const IRObject& other) const override;
    qestl::SmartPtr valueType() const override;
    void buildLinkName() override;
    bool isNative() const override { return false; }
    // A function value offers the members of Method.
    bool bindIntrinsicMember(ModelContext& context, const qestl::HashedText& member, uint32_t mode) override;
    bool writeToLibrary(LibraryWriter& out) override;
    bool readFromLibrary(uint32_t recordKind, LibraryReader& in) override;

    // False (nothing added) when a named parameter repeats a name. A long
    // list of parameters is checked in `names` when given.
    virtual bool addParameter(const qestl::SmartPtr& parameterObject, ParameterNames* names = nullptr);
    // The same, leaving the link name to the caller, who builds it once the
    // record is complete (the catalogue's some thousand methods).
    bool appendParameter(const qestl::SmartPtr& parameterObject, ParameterNames* names = nullptr);
    // Declares a thrown class; false when already declared.
    bool addThrows(const qestl::SmartPtr& thrown);
    // Is a throw of the class covered here (counts the use)?
    bool coversException(const IRObject* thrown);
    void pushCatchScope() { exceptions.edit().scopes.pushBack(qestl::qevector<qestl::SmartPtr>()); }
    void popCatchScope() {
        if (hasCatchScope()) exceptions.edit().scopes.popBack();
    }
    bool hasCatchScope() const { return !exceptions.get().scopes.empty(); }
    // Records a class caught by the innermost catch scope.
    void noteCaught(const qestl::SmartPtr& caught);
    void describeParameters(qestl::qestringA& text) const;
    void describeThrows(qestl::qestringA& text) const;
    void warnUnusedThrows(ModelContext& context);

    // What the function throws and the classes caught around the code
    // being compiled, scope by scope: few functions of a large program throw
    // or catch anything, and every one paid the map's and the list's words.
    struct Exceptions {
        ObjectStateMap throwsSet;  // class -> use count
        qestl::qevector<qestl::qevector<qestl::SmartPtr>, uint32_t> scopes;
        uint8_t catchesAll = 0;
        uint8_t throwsAll = 0;
        bool operator==(const Exceptions& other) const;
    };
    qestl::RareFields<Exceptions> exceptions;
    const ObjectStateMap& throwsSet() const { return exceptions.get().throwsSet; }
    // The parameter objects: a list of results took 128 bytes a parameter
    // for the one word each is read by.
    qestl::qevector<qestl::SmartPtr, uint32_t> parameters;

private:
    bool repeatsParameterName(std::string_view name, ParameterNames* names) const;
    void linkLastParameter();
};

qestl::SmartPtr makeFunction(std::string_view name, const qestl::SmartPtr& returnType);

}  // namespace model

namespace model {

// What the call compiler keeps of one instantiating use of a template
// function.
struct TemplatePiece {
    qestl::qestringA first, second;
    uint8_t flags[3] = {};
    uint64_t word = 0;
    qestl::qestringA third, fourth;
    TemplatePiece* next = nullptr;
};

// A function declared with template parameters (kind 26).
class TemplateFunctionObject : public FunctionObject {
public:
    TemplateFunctionObject() { kind = kKindTemplateFunction; }
    ~TemplateFunctionObject() override { clearPieces(); }
    bool isTemplate() const override { return true; }

    // Appends a piece in constant time.
    TemplatePiece& appendPiece();
    // Frees every linked piece and clears the own piece.
    void clearPieces();
    size_t pieceCount() const { return pieceCount_; }

    // Value lists saved around nested lookups while instances are made.
    std::vector<IRValueList> savedLists;
    TemplatePiece ownPiece;

private:
    TemplatePiece* firstPiece_ = nullptr;
    TemplatePiece** lastLink_ = &firstPiece_;
    size_t pieceCount_ = 0;
};

}  // namespace model
