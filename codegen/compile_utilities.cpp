#include "codegen/compile_utilities.h"

#include <algorithm>
#include <functional>

#include "codegen/compile_context.h"
#include "model/builtin_types.h"
#include "model/class_object.h"

using model::NodeHandle;

size_t catchClauseCount(const NodeHandle& node) {
    const NodeHandle clauses = model::IRCore::operandOf(node, 1);
    return clauses ? clauses->operands.size() : 0;
}

bool isNewable(const model::IRObject& klass) {
    const auto valueType = static_cast<int8_t>(klass.typeCode);
    return valueType < 1 || valueType == 9 || valueType == 11;
}

void ClosureCapture::begin(CompileContext& context, const qestl::SmartPtr& klass) {
    context_ = &context;
    klass_ = klass;
    model::ClassObject* holder = model::asClass(model::asObject(klass));
    if (holder == nullptr || context.lookup().scopes().frame->members().empty()) {
        if (holder != nullptr && holder->rareClass().captureContainer != nullptr)
            holder->editRareClass().captureContainer = nullptr;
        klass_.reset();  // nothing captured: nothing to give back
        return;
    }
    model::Container& frame = *context.lookup().scopes().frame;
    frame.setKind(model::kClosure);
    holder->editRareClass().captureContainer = &frame;
    context.lookup().scopes().pushFrame(context.lookup().scopes().frame->owner);
}

void ClosureCapture::end() {
    if (done_ || !klass_) return;
    done_ = true;
    model::ClassObject* holder = model::asClass(model::asObject(klass_));
    context_->lookup().nearMisses().resolved();  // near misses noted in the frame, before it goes
    context_->lookup().scopes().popFrame();
    model::Container& closure = *context_->lookup().scopes().frame;
    closure.setKind(model::kStackFrame);
    holder->capturesSlots = closure.members().empty() ? 0 : 1;
    // The frame lives no longer than its function: a lookup that passes
    // the class later finds no closure to read.
    holder->editRareClass().captureContainer = nullptr;
}

bool isIntegralType(const model::IRObject* type) {
    if (type == nullptr) return false;
    switch (type->builtinTag()) {
    case model::Builtin::Byte:
    case model::Builtin::Char:
    case model::Builtin::Short:
    case model::Builtin::Int:
    case model::Builtin::Long: return true;
    default: return false;
    }
}

model::Operand labelOperandAt(uint64_t index, const CodeList& list) {
    model::Operand out;
    if (index < list.size()) {
        out.setObjectRef(list[index], 0);
    } else if (index == list.size() && !list.empty()) {
        const qestl::SmartPtr& last = list.back();
        out.setObjectRef(last, static_cast<int64_t>(last.as<model::cbircode>()->encodedSize()));
    }
    return out;
}

bool CaseValueSet::contains(int64_t value) const {
    if (!fallen_.empty()) return fallen_.count(value) != 0;
    if (falling_) return std::binary_search(risen_.begin(), risen_.end(), value, std::greater<int64_t>());
    return std::binary_search(risen_.begin(), risen_.end(), value);
}

bool CaseValueSet::insert(int64_t value) {
    if (fallen_.empty()) {
        // The second value sets the order.
        if (risen_.size() == 1 && value < risen_.back()) falling_ = true;
        if (risen_.empty() || (falling_ ? value < risen_.back() : value > risen_.back())) {
            risen_.push_back(value);
            return true;
        }
        if (contains(value)) return false;
        fallen_.insert(risen_.begin(), risen_.end());
        std::vector<int64_t>().swap(risen_);
    } else if (contains(value)) {
        return false;
    }
    fallen_.insert(value);
    return true;
}

void ScopeGuard::release() {
    if (context_ == nullptr) return;
    context_->popObjectScope();
    context_ = nullptr;
}

void ScopeModeGuard::restore() {
    if (context_ == nullptr) return;
    if (ScopeRecord* record = context_->lookup().scopes().innermost();
        record != nullptr && !record->savedModes.empty()) {
        record->mode = record->savedModes.back();
        record->savedModes.pop_back();
    }
    context_ = nullptr;
}

void pushFlowNode(CompileContext& context, uint32_t kind, uint32_t mask, const model::IRResult* value) {
    FunctionCompileState* state = context.emitter().function();
    if (state == nullptr || state->currentFlow == nullptr) return;
    state->currentFlow = &state->currentFlow->addChild(kind, value, mask);
}

void popFlowNode(CompileContext& context) {
    FunctionCompileState* state = context.emitter().function();
    if (state == nullptr || state->currentFlow == nullptr || state->currentFlow->parent == nullptr) return;
    model::FlowNode* node = state->currentFlow;
    // A sequence is folded through its parent; other nodes settle their own
    // exits from their children first.
    if (node->kind != model::FlowNode::kSequence) node->foldedExitBits = node->foldExitBits(false);
    node->seal();
    state->currentFlow = node->parent;
    state->currentFlow->foldedExitBits = state->currentFlow->foldExitBits(false);
}

bool currentFlowExits(const CompileContext& context) {
    const FunctionCompileState* state = context.emitter().function();
    if (state == nullptr || state->currentFlow == nullptr) return false;
    return (state->currentFlow->foldedExitBits & (model::FlowNode::kExitReturns | model::FlowNode::kExitTerminates)) != 0;
}
