#include "model/operand.h"

namespace model {

void Operand::setObjectRef(const qestl::SmartPtr& ref, int64_t offset) {
    qestl::SmartPtr hold = ref;  // ref may be this operand's own target
    kind = kObjectReference;
    target = hold;
    displacement = offset;
    link = nullptr;
}

Operand& Operand::intImmediate(int64_t number, uint32_t type) {
    target.reset();
    link = nullptr;
    displacement = 0;
    encodedKind = 0;
    encodedValue = 0;
    kind = kImmInt;
    value = static_cast<int32_t>(static_cast<uint32_t>(number));
    dataType = type;
    return *this;
}

}  // namespace model
