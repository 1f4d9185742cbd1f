// The scope chain of a compilation: the object whose names are seen first,
// the three image heaps, the stack frame of the function being
// compiled with the frames around it, and the stack of object scopes.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "foundation/smart_ptr.h"
#include "model/container.h"
#include "model/image_heap.h"

class NameLookup;
namespace model {
class ClassObject;
}

// One level of object scope: whose members are visible, and how.
struct ScopeRecord {
    enum Mode : uint32_t { kClassScope = 1, kObjectScope = 3 };

    qestl::SmartPtr object;
    std::vector<uint32_t> savedModes;
    uint32_t mode = kObjectScope;
};

// Where declarations go (the declaration mode).
enum DeclarationMode : uint32_t {
    kDeclareGlobal = 0,
    kDeclareLocal = 1,
    kDeclareMember = 2,
    kDeclareLocalOnce = 5,  // falls back to kDeclareLocal after each statement tree
};

// The first member listed under the name; empty when none is.
qestl::SmartPtr firstMember(const model::Container& container, std::string_view name);

class ScopeChain {
public:
    ScopeChain();
    ~ScopeChain();
    ScopeChain(const ScopeChain&) = delete;
    ScopeChain& operator=(const ScopeChain&) = delete;

    // Empties every container and the frame stack; the chain stays usable.
    void clear();

    void pushObjectScope(const qestl::SmartPtr& object);
    void popObjectScope();
    ScopeRecord* innermost() { return records.empty() ? nullptr : &records.back(); }
    // The innermost scope's object when it is a class.
    model::ClassObject* innermostClass();

    // The object whose view decides what is visible (NameLookup::viewer),
    // read without a counted copy.
    model::IRObject* viewerObject() const {
        return model::asObject(!records.empty() ? records.back().object : frame->owner);
    }

    // A new empty frame owned by `owner`; the current one waits on the stack.
    void pushFrame(const qestl::SmartPtr& owner);
    // Drops the current frame and makes the last saved one current.
    void popFrame();

    model::Operand declareObject(std::string_view name, const qestl::SmartPtr& object, bool isStatic);
    // A refusal is an operand of kind 33 whose value is the reason code.
    model::Operand declareMethod(model::ModelContext& context, const qestl::SmartPtr& method, bool forced);
    // A nested class of the innermost class scope, or a class of the first
    // heap outside every object scope.
    model::Operand declareClass(const qestl::HashedText& name, const qestl::SmartPtr& klass, bool isStatic = false);
    // The built-in class of that name in the second heap, made when missing.
    qestl::SmartPtr declareGlobal(std::string_view name, const qestl::SmartPtr& classType);
    // Makes `list` (not owned) the list of the function statics declared
    // from now on; the names of the previous list's statics are moved
    // aside in the first heap.
    void setFunctionStatics(std::vector<model::Container::NameEntry>* list);
    void clearHead() { head.reset(); }

    qestl::SmartPtr head;
    std::unique_ptr<model::cbHeap> heaps[3];
    std::unique_ptr<model::StackFrame> frame;
    std::vector<ScopeRecord> records;
    // Where declarations go now (a DeclarationMode); set through
    // CompileContext::setCompileMode, which hands back the one before.
    uint32_t declarationMode() const { return declarationMode_; }
    void setDeclarationMode(uint32_t mode) { declarationMode_ = mode; }
    // The statics of the function body being compiled (not owned).
    std::vector<model::Container::NameEntry>* staticObjects = nullptr;
    std::vector<std::unique_ptr<model::StackFrame>> frames;

private:
    uint32_t declarationMode_ = kDeclareGlobal;
};
