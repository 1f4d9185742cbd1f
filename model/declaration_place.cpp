#include "model/declaration_place.h"

#include <limits>

#include "foundation/object_heap.h"
#include "source/ast_nodes.h"

namespace model {

namespace {

KeptDeclaration* takeRecord(const KeptDeclaration& value) {
    return new (qestl::allocateObjectMemory(sizeof(KeptDeclaration))) KeptDeclaration(value);
}

uintptr_t keptWord(const KeptDeclaration* record) { return reinterpret_cast<uintptr_t>(record) | 1; }

}  // namespace

DeclarationPlace::DeclarationPlace(const DeclarationPlace& other) : word_(other.word_) {
    if (isKept()) word_ = keptWord(takeRecord(*other.kept()));
    else retainNode(node_.get());
}

void DeclarationPlace::freeKept() {
    qestl::freeObjectMemory(const_cast<KeptDeclaration*>(kept()), sizeof(KeptDeclaration));
}

bool DeclarationPlace::operator==(const DeclarationPlace& other) const {
    if (word_ == other.word_) return true;
    return isKept() && other.isKept() && *kept() == *other.kept();
}

NodeHandle DeclarationPlace::handle() const {
    if (!isKept()) return node_;
    const KeptDeclaration& place = *kept();
    NodeHandle standIn(emplaceAstNode(qeAbstractNode::NoSerial{}));
    standIn->kind = place.kind;
    standIn->flags = flags();
    standIn->fileIndex = place.fileIndex;
    standIn->startLine = standIn->endLine = place.startLine;
    standIn->startColumn = standIn->endColumn = place.startColumn;
    standIn->textStart = place.textStart;
    standIn->textEnd = place.textStart + place.textLength;
    return standIn;
}

void DeclarationPlace::keepPlaceOnly() {
    if (word_ == 0 || isKept()) return;
    const qeAbstractNode& node = *node_;
    constexpr uint32_t kLongestText = (uint32_t{1} << 24) - 1;
    if (node.textEnd <= node.textStart || node.textEnd - node.textStart > kLongestText ||
        node.fileIndex > std::numeric_limits<uint8_t>::max() ||
        node.startColumn > std::numeric_limits<uint16_t>::max() || node.annotations())
        return;
    const KeptDeclaration place{node.textStart,
                                node.startLine,
                                node.textEnd - node.textStart,
                                node.flags >> kHighFlagsShift,
                                static_cast<uint16_t>(node.startColumn),
                                static_cast<uint8_t>(node.fileIndex),
                                node.kind};
    const uintptr_t held = std::exchange(word_, keptWord(takeRecord(place)));
    releaseNode(reinterpret_cast<refableAstBase*>(held));
}

}  // namespace model
