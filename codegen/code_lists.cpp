// Emission into the code lists, switching lists, labels and jump scopes.
#include "codegen/compile_context.h"

#include <typeinfo>

using model::cbircode;
using model::Operand;
using qestl::SmartPtr;

namespace codegen {

void releaseCodeList(CodeList& list) {
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

SmartPtr CompileContext::emitCopyOf(const cbircode& templ, const model::NodeHandle& node) {
    SmartPtr copy = model::adoptLive(new cbircode(templ));
    copy.as<cbircode>()->setSource(scopes.frame->owner, node);
    current->pushBack(copy);
    return copy;
}

SmartPtr CompileContext::emit(SmartPtr templ, const model::NodeHandle& node) {
    // A plain instruction nobody else holds is the copy it would be given:
    // taken as it is, one allocation and copy less per emitted instruction.
    cbircode* made = templ.as<cbircode>();
    if (made->referenceCount() == 1 && typeid(*made) == typeid(cbircode)) {
        made->setSource(scopes.frame->owner, node);
        made->resolvedOnce = made->imported = 0;
        current->pushBack(templ);
        return templ;
    }
    SmartPtr copy = emitCopyOf(*made, node);
    templ.reset();
    return copy;
}

SmartPtr CompileContext::emitToMainList(const cbircode& templ, const model::NodeHandle& node) {
    CodeList* saved = current;
    current = codeLists[kMainList];
    SmartPtr copy = emitCopyOf(templ, node);
    current = saved;
    return copy;
}

void CompileContext::appendCode(qestl::SmartPtrVector& code) {
    current->appendRange(code.data(), code.size());
    code.clear();
}

void CompileContext::flushResult(model::IRResult& result) {
    if (result.object) result.prependOwnerCode();
    appendCode(result.pending);
}

SmartPtr CompileContext::codeAt(uint64_t index) const { return index < current->size() ? (*current)[index] : SmartPtr(); }

SmartPtr CompileContext::lastInstruction() const { return current->empty() ? SmartPtr() : current->back(); }

void CompileContext::switchCodeList(bool memberList, CodeListGuard* guard) {
    savedLists.push_back(current);
    current = codeLists[memberList ? kMemberCodeList : kMainList];
    if (guard != nullptr) {
        guard->context_ = this;
        guard->replacement_ = nullptr;
        guard->selector_ = -1;
    }
}

void CodeListGuard::restore() {
    CompileContext* context = context_;
    if (context == nullptr) return;
    context_ = nullptr;
    if (replacement_ == nullptr) {
        if (!context->savedLists.empty()) {
            context->current = context->savedLists.back();
            context->savedLists.pop_back();
        }
        return;
    }
    if (selector_ == 0 || selector_ == 1) {
        CodeList*& slot = context->codeLists[selector_];
        if (context->current == slot) context->current = replacement_;
        slot = replacement_;
    } else {
        context->current = replacement_;
    }
}

namespace {

Operand** activeLabel(CompileContext& context, uint32_t bit) {
    switch (bit) {
    case kJumpReturn: return &context.activeReturn;
    case kJumpBreak: return &context.activeBreak;
    default: return &context.activeContinue;
    }
}

int slotOf(uint32_t bit) { return bit == kJumpReturn ? 0 : bit == kJumpBreak ? 1 : 2; }

}  // namespace

void CompileContext::enterJumpScope(JumpScope& scope, uint32_t mask) {
    scope.context_ = this;
    for (uint32_t bit : {kJumpReturn, kJumpBreak, kJumpContinue}) {
        if ((mask & bit) == 0) continue;
        Operand** active = activeLabel(*this, bit);
        scope.saved_[slotOf(bit)] = *active;
        *active = &scope.labels_[slotOf(bit)];
    }
    scope.mask_ = mask & kJumpAll;
}

void CompileContext::inheritJumpScope(JumpScope& scope) {
    scope.context_ = this;
    for (uint32_t bit : {kJumpReturn, kJumpBreak, kJumpContinue}) {
        Operand** active = activeLabel(*this, bit);
        if (*active == nullptr) continue;
        scope.saved_[slotOf(bit)] = *active;
        *active = &scope.labels_[slotOf(bit)];
        scope.mask_ |= bit;
    }
}

void JumpScope::restore(uint32_t mask) {
    if (context_ == nullptr) return;
    const uint32_t bits = mask == kJumpAll ? mask_ : (mask & mask_);
    for (uint32_t bit : {kJumpReturn, kJumpBreak, kJumpContinue}) {
        if ((bits & bit) == 0) continue;
        *activeLabel(*context_, bit) = saved_[slotOf(bit)];
        mask_ &= ~bit;
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

void CompileContext::bindLabels(uint64_t first, uint64_t end) {
    // After an error no output is written: the code is not worth keeping,
    // and no jump can stay unbound in it.
    if (errors != 0) {
        // Dropped, not detached: detaching would detach the instructions'
        // owners, methods that stay declared and are still reported on.
        codegen::dropCodeList(*current);
        return;
    }
    for (uint64_t i = first; i < end && i < current->size(); ++i) {
        cbircode* instruction = (*current)[i].as<cbircode>();
        for (uint64_t k = 0; k < instruction->operandCount && k < model::kMaxOperands; ++k) {
            Operand& operand = instruction->operands[k];
            if (operand.kind != model::kPendingLabel || operand.link == nullptr || !operand.link->target) continue;
            const Operand* label = operand.link;
            operand.setObjectRef(label->target, label->displacement);
        }
    }
}

uint64_t CompileContext::localMark() const { return scopes.frame->indexEntryCount(); }

void CompileContext::popLocals(uint64_t mark) { scopes.frame->forgetNamesAfter(mark); }
