// What the builders add to the interim node; making, copying and the serial
// counter live with the source processor's interim definitions.
#include "source/node.h"

void qeAbstractNode::prependOperand(_KNode<qeAbstractNode> operand) { operands.insertRange(0, &operand, 1); }

bool qeAbstractNode::hasAnnotation(const char* name) const {
    if (!annotations) return false;
    for (const auto& a : annotations->operands)
        if (a && a->text == std::string_view(name)) return true;
    return false;
}
