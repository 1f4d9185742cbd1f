// The code lists of a compilation and where code goes now: the current
// list, the lists a construct makes its own while it compiles a part of
// itself, the break, continue and return labels of the statement being
// compiled, the local names of the frame and the function whose body is
// being compiled. Whatever changes the current list or a label does it
// through a guard that gives it back.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "codegen/jump_scope.h"
#include "foundation/smart_ptr.h"
#include "model/ir_result.h"

class ScopeChain;

// The code lists of a context.
enum CodeListId : uint32_t {
    kMainList = 0,
    kMemberCodeList = 1,
    kRecordList = 2,        // lock records, built-in methods, source class records
    kBuiltinClassList = 3,  // never laid out
};

// Bits of the function flags word.
enum FunctionFlags : uint32_t {
    kFunctionNotNilResult = 16,
    kFunctionInFinally = 32,
    kFunctionNoBreak = 64,
    kFunctionNoContinue = 128,
};

// The state of the method whose body is being compiled.
struct FunctionCompileState {
    model::FlowNode flowRoot;
    model::FlowNode* currentFlow = &flowRoot;
    qestl::SmartPtr returnType;
    uint8_t notNilResult = 0;
    uint32_t flags = 0;
    uint32_t blockMode = 0;
    uint8_t changed = 0;
    model::ObjectStateMap objectStates;
    uint64_t localMark = 0;

    FunctionCompileState() { flowRoot.kind = model::FlowNode::kSequence; }
    FunctionCompileState(const FunctionCompileState&) = delete;
    FunctionCompileState& operator=(const FunctionCompileState&) = delete;
};

class CodeEmitter {
public:
    // Instructions are stamped with the owner of the scope chain's frame,
    // and local names are counted in it.
    explicit CodeEmitter(ScopeChain& scopes);
    ~CodeEmitter();
    CodeEmitter(const CodeEmitter&) = delete;
    CodeEmitter& operator=(const CodeEmitter&) = delete;

    // Releases every list's code, the instances' too; the main list is
    // current again.
    void release();

    CodeList& list(uint32_t id) { return *lists_[id]; }
    const CodeList& list(uint32_t id) const { return *lists_[id]; }
    CodeList& current() { return *current_; }
    const CodeList& current() const { return *current_; }

    // Emits the template itself when nothing else holds it, else a copy.
    qestl::SmartPtr emit(qestl::SmartPtr templ, const model::NodeHandle& node);
    qestl::SmartPtr emitCopyOf(const model::cbircode& templ, const model::NodeHandle& node);
    qestl::SmartPtr emitToMainList(const model::cbircode& templ, const model::NodeHandle& node);
    // Moves the code to the end of the current list.
    void appendCode(qestl::SmartPtrVector& code);
    void flushResult(model::IRResult& result);
    qestl::SmartPtr codeAt(uint64_t index) const;
    qestl::SmartPtr lastInstruction() const;
    // Makes list 1 (or the main list) current until the guard is restored.
    void switchCodeList(bool memberList, CodeListGuard* guard);
    // Binds the pending labels of the current list's range; after an error
    // (`discard`) drops the list instead.
    void bindLabels(uint64_t first, uint64_t end, bool discard);
    // The code of a template method instance, released with the lists.
    void keepInstanceCode(const CodeList& code);

    void enterJumpScope(JumpScope& scope, uint32_t mask);
    void inheritJumpScope(JumpScope& scope);
    // The label a jump of that kind goes to; null outside any scope of it.
    model::Operand* jumpTarget(JumpKind kind) const;

    // The names of the current frame that a later popLocals keeps.
    uint64_t localMark() const;
    void popLocals(uint64_t mark);
    // Forgets the names declared from its making on when it goes, on every
    // way out of a construct that declares locals.
    class LocalsMark {
    public:
        explicit LocalsMark(CodeEmitter& emitter) : emitter_(emitter), mark_(emitter.localMark()) {}
        ~LocalsMark() { emitter_.popLocals(mark_); }
        LocalsMark(const LocalsMark&) = delete;
        LocalsMark& operator=(const LocalsMark&) = delete;

    private:
        CodeEmitter& emitter_;
        uint64_t mark_;
    };

    FunctionCompileState* function() const { return function_; }
    // Makes `state` (not owned) the function being compiled; gives the
    // previous one.
    FunctionCompileState* setFunction(FunctionCompileState* state) { return std::exchange(function_, state); }

    // Makes a list (not owned) current until the end of its scope.
    class ListScope {
    public:
        // Inline: every operand and argument compiles inside one.
        ListScope(CodeEmitter& emitter, CodeList& list) : emitter_(&emitter), outer_(emitter.current_) {
            emitter.current_ = &list;
        }
        ~ListScope() { end(); }
        ListScope(const ListScope&) = delete;
        ListScope& operator=(const ListScope&) = delete;

        // The list that was current before.
        CodeList& outer() const { return *outer_; }
        // Makes the outer list current again; the scope's end does it again.
        void resumeOuter() {
            if (emitter_ != nullptr) emitter_->current_ = outer_;
        }
        // Makes the outer list current for good.
        void end() {
            if (emitter_ == nullptr) return;
            emitter_->current_ = outer_;
            emitter_ = nullptr;
        }

    private:
        CodeEmitter* emitter_;
        CodeList* outer_;
    };

    // Makes a list (not owned) take the place of list `id` until the end of
    // its scope.
    class SlotScope {
    public:
        SlotScope(CodeEmitter& emitter, uint32_t id, CodeList& list);
        ~SlotScope() { emitter_.lists_[id_] = saved_; }
        SlotScope(const SlotScope&) = delete;
        SlotScope& operator=(const SlotScope&) = delete;

    private:
        CodeEmitter& emitter_;
        uint32_t id_;
        CodeList* saved_;
    };

    // The return, break and continue labels of the enclosing code, set
    // aside while a method or an instance of one compiles.
    class JumpsSetAside {
    public:
        explicit JumpsSetAside(CodeEmitter& emitter);
        ~JumpsSetAside();
        JumpsSetAside(const JumpsSetAside&) = delete;
        JumpsSetAside& operator=(const JumpsSetAside&) = delete;

    private:
        CodeEmitter& emitter_;
        model::Operand* saved_[3];
    };

private:
    friend class JumpScope;
    friend class CodeListGuard;

    model::Operand*& labelSlot(uint32_t bit);

    ScopeChain& scopes_;
    CodeList ownLists_[4];
    CodeList* lists_[4];
    CodeList* current_;
    std::vector<CodeList*> savedLists_;
    // The code of every template method instance, released with the code
    // lists: the instance's first instruction and its function hold each
    // other, and an instance no call chose is placed in no list.
    qestl::SmartPtrVector instanceCode_;
    model::Operand* labels_[3] = {nullptr, nullptr, nullptr};  // return, break, continue
    FunctionCompileState* function_ = nullptr;                 // not owned
};

// A code list of a construct's own, current while the construct compiles a
// part of itself: a forward jump can then be bound to the point just past a
// finished part. Whatever was not spliced in is dropped with the list, not
// detached: detaching would tear the syntax nodes and owners the dropped
// instructions name, which later diagnostics still read.
class PrivateCodeList {
public:
    explicit PrivateCodeList(CodeEmitter& emitter) : emitter_(emitter), scope_(emitter, code) {}
    ~PrivateCodeList() {
        scope_.end();
        codegen::dropCodeList(code);
    }
    PrivateCodeList(const PrivateCodeList&) = delete;
    PrivateCodeList& operator=(const PrivateCodeList&) = delete;

    CodeList& outer() const { return scope_.outer(); }
    // Makes the outer list current again (until this list's end).
    void resumeOuter() { scope_.resumeOuter(); }
    // Makes the outer list current again and appends this one's code to it.
    void spliceIntoOuter() {
        scope_.resumeOuter();
        emitter_.appendCode(code);
    }

    CodeList code;

private:
    CodeEmitter& emitter_;
    CodeEmitter::ListScope scope_;
};
