// Emission into the code lists, switching lists, labels and jump scopes.
#include "codegen/code_emitter.h"

#include "codegen/scope_chain.h"
#include "foundation/look_ahead.h"

#include <span>
#include <type_traits>
#include <typeinfo>

using model::cbircode;
using model::Operand;
using qestl::SmartPtr;

namespace codegen {

void releaseCodeList(CodeList& list) {
    // A borrowed list's instructions are the lender's to detach.
    if (!list.isBorrowed())
        for (const SmartPtr& instruction : list) instruction.as<cbircode>()->detach();
    list.clear();
}

void dropCodeList(CodeList& list) {
    for (const SmartPtr& instruction : list) {
        cbircode* code = instruction.as<cbircode>();
        const uint64_t used = code->operandCount <= model::kMaxOperands ? code->operandCount : model::kMaxOperands;
        for (uint64_t i = 0; i < used; ++i) code->operands[i].releaseObject();
    }
    list.clear();
}

}  // namespace codegen

CodeEmitter::CodeEmitter(ScopeChain& scopes) : scopes_(scopes) {
    for (uint32_t i = 0; i < 4; ++i) lists_[i] = &ownLists_[i];
    current_ = lists_[kMainList];
}

CodeEmitter::~CodeEmitter() { release(); }

void CodeEmitter::release() {
    for (uint32_t i = 0; i < 4; ++i) {
        lists_[i] = &ownLists_[i];
        codegen::releaseCodeList(ownLists_[i]);
    }
    current_ = lists_[kMainList];
    savedLists_.clear();
    codegen::releaseCodeList(instanceCode_);
}

void CodeEmitter::keepInstanceCode(const CodeList& code) { instanceCode_.appendRange(code.data(), code.size()); }

SmartPtr CodeEmitter::emitCopyOf(const cbircode& templ, const model::NodeHandle& node) {
    SmartPtr copy = model::adoptLive(new cbircode(templ));
    copy.as<cbircode>()->setSource(scopes_.frame->owner, node);
    current_->pushBack(copy);
    return copy;
}

SmartPtr CodeEmitter::emit(SmartPtr templ, const model::NodeHandle& node) {
    // A plain instruction nobody else holds is the copy it would be given:
    // taken as it is, one allocation and copy less per emitted instruction.
    cbircode* made = templ.as<cbircode>();
    if (made->referenceCount() == 1 && typeid(*made) == typeid(cbircode)) {
        made->setSource(scopes_.frame->owner, node);
        made->resolvedOnce = made->imported = 0;
        current_->pushBack(templ);
        return templ;
    }
    SmartPtr copy = emitCopyOf(*made, node);
    templ.reset();
    return copy;
}

SmartPtr CodeEmitter::emitToMainList(const cbircode& templ, const model::NodeHandle& node) {
    ListScope inMain(*this, *lists_[kMainList]);
    return emitCopyOf(templ, node);
}

void CodeEmitter::appendCode(qestl::SmartPtrVector& code) { current_->appendTaken(code); }

void CodeEmitter::flushResult(model::IRResult& result) {
    if (result.object) result.prependOwnerCode();
    appendCode(result.pending);
}

SmartPtr CodeEmitter::codeAt(uint64_t index) const {
    return index < current_->size() ? (*current_)[index] : SmartPtr();
}

SmartPtr CodeEmitter::lastInstruction() const { return current_->empty() ? SmartPtr() : current_->back(); }

void CodeEmitter::switchCodeList(bool memberList, CodeListGuard* guard) {
    savedLists_.push_back(current_);
    current_ = lists_[memberList ? kMemberCodeList : kMainList];
    if (guard != nullptr) {
        guard->emitter_ = this;
        guard->replacement_ = nullptr;
        guard->selector_ = -1;
    }
}

void CodeListGuard::restore() {
    CodeEmitter* emitter = emitter_;
    if (emitter == nullptr) return;
    emitter_ = nullptr;
    if (replacement_ == nullptr) {
        if (!emitter->savedLists_.empty()) {
            emitter->current_ = emitter->savedLists_.back();
            emitter->savedLists_.pop_back();
        }
        return;
    }
    if (selector_ == 0 || selector_ == 1) {
        CodeList*& slot = emitter->lists_[selector_];
        if (emitter->current_ == slot) emitter->current_ = replacement_;
        slot = replacement_;
    } else {
        emitter->current_ = replacement_;
    }
}

namespace {

int slotOf(uint32_t bit) { return bit == kJumpReturn ? 0 : bit == kJumpBreak ? 1 : 2; }

// The function flag that forbids jumps of a kind (inside a finally block).
uint32_t flagForbidding(uint32_t bit) {
    if (bit == kJumpBreak) return kFunctionNoBreak;
    return bit == kJumpContinue ? uint32_t{kFunctionNoContinue} : 0u;
}

}  // namespace

Operand*& CodeEmitter::labelSlot(uint32_t bit) { return labels_[slotOf(bit)]; }

Operand* CodeEmitter::jumpTarget(JumpKind kind) const { return labels_[slotOf(kind)]; }

void CodeEmitter::enterJumpScope(JumpScope& scope, uint32_t mask) {
    scope.emitter_ = this;
    uint32_t forbidding = 0;
    for (uint32_t bit : {kJumpReturn, kJumpBreak, kJumpContinue}) {
        if ((mask & bit) == 0) continue;
        Operand*& active = labelSlot(bit);
        scope.saved_[slotOf(bit)] = active;
        active = &scope.labels_[slotOf(bit)];
        forbidding |= flagForbidding(bit);
    }
    scope.mask_ = mask & kJumpAll;
    // A loop or switch begun inside a finally block is left only within the
    // block: its break and continue are allowed again until it ends.
    if (function_ != nullptr) {
        scope.liftedFlags_ = function_->flags & forbidding;
        scope.liftedIn_ = function_;
        function_->flags &= ~scope.liftedFlags_;
    }
}

void CodeEmitter::inheritJumpScope(JumpScope& scope) {
    scope.emitter_ = this;
    for (uint32_t bit : {kJumpReturn, kJumpBreak, kJumpContinue}) {
        Operand*& active = labelSlot(bit);
        if (active == nullptr) continue;
        scope.saved_[slotOf(bit)] = active;
        active = &scope.labels_[slotOf(bit)];
        scope.mask_ |= bit;
    }
}

void JumpScope::restore(uint32_t mask) {
    if (emitter_ == nullptr) return;
    const uint32_t bits = mask == kJumpAll ? mask_ : (mask & mask_);
    for (uint32_t bit : {kJumpReturn, kJumpBreak, kJumpContinue}) {
        if ((bits & bit) == 0) continue;
        emitter_->labelSlot(bit) = saved_[slotOf(bit)];
        mask_ &= ~bit;
        const uint32_t lifted = liftedFlags_ & flagForbidding(bit);
        if (lifted != 0 && liftedIn_ != nullptr) liftedIn_->flags |= lifted;
        liftedFlags_ &= ~lifted;
    }
}

Operand& JumpScope::target(uint32_t selector) {
    switch (selector) {
    case kJumpReturn: return labels_[0];
    case kJumpBreak: return labels_[1];
    case kJumpContinue: return labels_[2];
    default: return labels_[3];
    }
}

Operand* JumpScope::savedList(uint32_t selector) const {
    switch (selector) {
    case kJumpReturn: return saved_[0];
    case kJumpBreak: return saved_[1];
    case kJumpContinue: return saved_[2];
    default: return nullptr;
    }
}

JumpScope::~JumpScope() {
    restore(kJumpAll);
    for (Operand& label : labels_) label.target.reset();
}

void CodeEmitter::bindLabels(uint64_t first, uint64_t end, bool discard) {
    // After an error no output is written: the code is not worth keeping,
    // and no jump can stay unbound in it.
    if (discard) {
        // Dropped, not detached: detaching would detach the instructions'
        // owners, methods that stay declared and are still reported on.
        codegen::dropCodeList(*current_);
        return;
    }
    // Bounds read once: binding a jump touches neither the list nor the
    // operand slots, and the walk runs over every body's whole code.
    const auto bind = [](Operand& operand) {
        const Operand* label = operand.link();
        if (label == nullptr || !label->target) return;
        operand.setObjectRef(label->target, label->displacement);
    };
    const CodeList& list = *current_;
    const uint64_t stop = end < list.size() ? end : list.size();
    // Past the caches, each instruction's record and its operand slots are
    // a wait for memory: a long body asks for both some instructions ahead
    // (the slots once the record is in), so that the waits overlap.
    constexpr uint64_t kSlotsAhead = 8, kRecordAhead = 16, kLongCode = uint64_t{1} << 14;
    const auto walk = [&](auto ahead) {
        for (uint64_t i = first; i < stop; ++i) {
            if constexpr (decltype(ahead)::value) {
                if (stop - i > kRecordAhead) {
                    qestl::touch(list[i + kRecordAhead].get());
                    qestl::touch(list[i + kSlotsAhead].as<cbircode>()->operands.madeSlots().data());
                }
            }
            cbircode* instruction = list[i].as<cbircode>();
            const uint64_t used = instruction->operandCount < model::kMaxOperands ? instruction->operandCount
                                                                                  : model::kMaxOperands;
            const std::span<Operand> made = instruction->operands.madeSlots();
            const uint64_t inMade = used < made.size() ? used : made.size();
            for (uint64_t k = 0; k < inMade; ++k) bind(made[k]);
            for (uint64_t k = inMade; k < used; ++k) bind(instruction->operands[k]);
        }
    };
    if (stop > first && stop - first > kLongCode) {
        walk(std::true_type{});
    } else {
        walk(std::false_type{});
    }
}

uint64_t CodeEmitter::localMark() const { return scopes_.frame->indexEntryCount(); }

void CodeEmitter::popLocals(uint64_t mark) { scopes_.frame->forgetNamesAfter(mark); }

// ---- guards

CodeEmitter::SlotScope::SlotScope(CodeEmitter& emitter, uint32_t id, CodeList& list)
    : emitter_(emitter), id_(id), saved_(emitter.lists_[id]) {
    emitter.lists_[id] = &list;
}

CodeEmitter::JumpsSetAside::JumpsSetAside(CodeEmitter& emitter) : emitter_(emitter) {
    for (int i = 0; i < 3; ++i) saved_[i] = std::exchange(emitter.labels_[i], nullptr);
}

CodeEmitter::JumpsSetAside::~JumpsSetAside() {
    for (int i = 0; i < 3; ++i) emitter_.labels_[i] = saved_[i];
}
