#include "expressions/stores.h"

#include "model/builtin_types.h"
#include "model/ir_object.h"
#include "model/opcodes.h"

namespace expressions {

bool isUnmodifiable(const model::IRResult& value) {
    // A member reached through a value is constant when the member is.
    model::IRObject* object = value.objectPtr();
    if (object != nullptr && (object->isConst() || object->classRef()->isConst())) return true;
    const uint32_t kind = value.operand.kind;
    return kind <= model::kImmBool || kind == model::kExceptionRegister || kind == model::kStringOffset;
}

void takeOwnerCode(model::IRResult& value) {
    model::IRObject* object = value.objectPtr();
    if (object == nullptr) return;
    object->ownerResult.prependOwnerCode();
    value.prependOwnerCode();
}

void appendTakenResult(model::IRResult& into, model::IRResult& value) {
    value.prependOwnerCode();
    into.pending.appendTaken(value.pending);
    into.stateWord = value.stateWord;
    into.mergeObjectStatesFrom(value);
}

model::cbircode* fuseIntoLoad(model::IRResult& value, uint32_t operatorCode, uint32_t& opcode) {
    qestl::SmartPtr load;
    opcode = model::fuseMemberOperation(value, operatorCode, load);
    if (opcode == 0) return nullptr;
    // The load may be shared with the value's other pairs: store into a copy.
    qestl::SmartPtr copy = model::adoptLive(new model::cbircode(*load.as<model::cbircode>()));
    copy.as<model::cbircode>()->setSource(load.as<model::cbircode>()->owner, load.as<model::cbircode>()->sourceNode);
    value.pending[value.pending.size() - 1] = copy;
    model::cbircode* store = copy.as<model::cbircode>();
    store->opcode = opcode;
    model::setDataTypeFromValue(store->operands[1], value.objectPtr());
    return store;
}

uint32_t typedStoreOpcode(const model::IRObject* leftType, StoreForm form) {
    static constexpr struct {
        model::Builtin type;
        uint32_t plain, element, property;
    } kRows[] = {
        {model::Builtin::Byte, 180, 189, 198},   {model::Builtin::Bool, 111, 187, 196},
        {model::Builtin::Char, 110, 186, 195},   {model::Builtin::Short, 112, 188, 197},
        {model::Builtin::Long, 109, 185, 194},   {model::Builtin::Int, 108, 184, 193},
        {model::Builtin::Float, 205, 206, 207},  {model::Builtin::Double, 107, 183, 192},
        {model::Builtin::String, 181, 190, 199}, {model::Builtin::Any, 210, 211, 212},
    };
    auto pick = [form](uint32_t plain, uint32_t element, uint32_t property) {
        return form == StoreForm::Plain ? plain : form == StoreForm::Element ? element : property;
    };
    auto* left = const_cast<model::IRObject*>(leftType);
    if (left != nullptr) {
        for (const auto& row : kRows) {
            // The built-in types are plain classes, each its own class
            // reference (an array type is its own, and none of them).
            if (model::isBuiltin(left->classRef(), row.type)) return pick(row.plain, row.element, row.property);
        }
    }
    return pick(182, 191, 200);
}

AssignmentPairKey storeTargetKey(const model::IRResult& target) {
    return {model::rankOf(static_cast<uint32_t>(target.addressCode(true) | target.matchRank), target), {}};
}

AssignmentPairKey assignmentPairKey(const model::IRResult& left, const model::IRResult& right) {
    AssignmentPairKey key = storeTargetKey(left);
    key.right = model::rankOf(static_cast<uint32_t>(right.addressCode(false) | right.matchRank), right);
    return key;
}

void AssignmentPairs::add(const AssignmentPairKey& key, size_t index, bool registerLvalue) {
    ++pairs_;
    auto [entry, fresh] = entries_.try_emplace(key);
    if (fresh) {
        entry->second.index = index;
        entry->second.registerLvalue = registerLvalue;
    }
    ++entry->second.count;
}

AssignmentPairs::Outcome AssignmentPairs::choose(size_t& index) const {
    if (entries_.empty()) return Outcome::None;
    const Entry& best = entries_.begin()->second;
    index = best.index;
    if (pairs_ == 1) return best.registerLvalue ? Outcome::BareRegister : Outcome::Chosen;
    if (best.count > 1) return Outcome::Ambiguous;
    return best.registerLvalue ? Outcome::BareRegister : Outcome::ChosenOfSeveral;
}

}  // namespace expressions
