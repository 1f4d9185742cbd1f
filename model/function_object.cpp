#include "model/function_object.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "diagnostics/diagnostics.h"
#include "foundation/text_map.h"
#include "model/builtin_types.h"
#include "model/class_object.h"
#include "model/library_io.h"
#include "model/model_context.h"

namespace model {
namespace {

// Both empty, or the same type.
bool sameTypeRefs(const qestl::SmartPtr& a, const qestl::SmartPtr& b) {
    if (!a || !b) return !a && !b;
    return asObject(a)->sameType(asObject(b));
}

void appendThrowLine(qestl::qestringA& text, int number, const IRObject& klass) {
    appendDiagnostic(text, diag::ListedThrow, number, klass.name, klass.linkName());
}

}  // namespace

FunctionObject::FunctionObject() { kind = kKindFunction; }
FunctionObject::~FunctionObject() = default;

qestl::SmartPtr makeFunction(std::string_view name, const qestl::SmartPtr& returnType) {
    auto* made = new FunctionObject();
    qestl::SmartPtr ref = adoptLive(made);
    made->name.assign(name.data(), name.size());
    made->type = returnType;
    made->buildLinkName();
    return ref;
}

void FunctionObject::detach() {
    if (kept) return;
    decltype(parameters) taken;
    taken.swap(parameters);
    IRObject::detach();
    // The jump to the body's first instruction, which names the function as
    // its owner: a body that failed leaves that instruction in no code list
    // that would detach it.
    for (uint64_t i = 0; i < operandCount && i < static_cast<uint64_t>(kMaxOperands); ++i) operands[i].releaseObject();
    for (qestl::SmartPtr& parameterRef : taken)
        if (parameterRef) parameterRef.as<cbSmartCore>()->detach();
}

bool FunctionObject::isConstructor() const {
    IRObject* holder = ownerObject();
    return !isStatic() && holder != nullptr && qestl::sameText(holder->name.view(), name.view());
}

qestl::SmartPtr FunctionObject::parameter(uint64_t i) const {
    return i < parameters.size() ? parameters[i] : qestl::SmartPtr();
}

// The Method type, reached through the Class type that heads the table of
// built-in types: every class's type is the Class type, and the return type
// (void when none) or the owner leads to a class.
qestl::SmartPtr FunctionObject::valueType() const {
    for (IRObject* near : {asObject(type), ownerObject()}) {
        for (int step = 0; near != nullptr && step < 64; ++step) {
            if (isBuiltin(near, Builtin::Class)) {
                const ClassObject* classType = asClass(near);
                const BuiltinTypes* table = classType ? classType->rareClass().builtinTable : nullptr;
                if (table != nullptr) return table->methodType;
                break;
            }
            near = asObject(near->type);
        }
    }
    return {};
}

int32_t FunctionObject::sameSignature(const IRObject& otherObject) const {
    if (!(name == otherObject.name)) return 0;
    if (parameterCount() != otherObject.parameterCount()) return 0;
    for (uint64_t i = 0; i < parameterCount(); ++i) {
        IRObject* mine = asObject(parameter(i));
        IRObject* theirs = asObject(otherObject.parameter(i));
        if (!sameTypeRefs(mine ? mine->valueType() : qestl::SmartPtr(), theirs ? theirs->valueType() : qestl::SmartPtr()))
            return 0;
    }
    const auto* other = dynamic_cast<const FunctionObject*>(&otherObject);
    if (other != nullptr) {
        if (other->throwsSet().size() > throwsSet().size()) return -2;
        for (const ObjectStateMap::Entry& entry : other->throwsSet())
            if (!throwsSet().contains(asObject(entry.object))) return -2;
    }
    return sameTypeRefs(returnType(), otherObject.returnType()) ? 1 : -1;
}

void FunctionObject::buildLinkName() {
    LinkNameText room;
    qestl::qestringA& text = room.text();
    writeLinkName(text);
    text.append("(");
    for (size_t i = 0; i < parameters.size(); ++i) {
        if (i) text.append(",");
        IRObject* parameterObject = asObject(parameters[i]);
        if (IRObject* t = parameterObject ? asObject(parameterObject->valueType()) : nullptr)
            text.append(t->linkName());
    }
    text.append(")");
    takeLinkName(text);
}

bool FunctionObject::addParameter(const qestl::SmartPtr& parameterRef, ParameterNames* names) {
    noteWrite();
    if (!appendParameter(parameterRef, names)) return false;
    // Overloads differ only here: the link name names every parameter type
    // as soon as the parameter is known.
    linkLastParameter();
    return true;
}

bool FunctionObject::appendParameter(const qestl::SmartPtr& parameterRef, ParameterNames* names) {
    noteWrite();
    IRObject* added = asObject(parameterRef);
    if (added == nullptr) return false;
    if (!added->name.empty()) {
        if (repeatsParameterName(added->name.view(), names)) return false;
    } else {
        added->setName(qestl::qestringA::format("$UNUSED_PARAM_%d", static_cast<int>(parameters.size())).view());
    }
    parameters.pushBack(parameterRef);
    return true;
}

namespace {

// Below this many parameters a scan costs less than the set.
constexpr size_t kScannedParameters = 16;

}  // namespace

bool FunctionObject::repeatsParameterName(std::string_view name, ParameterNames* names) const {
    if (parameters.size() < kScannedParameters || names == nullptr) {
        for (const qestl::SmartPtr& existing : parameters) {
            IRObject* other = asObject(existing);
            if (other && !other->name.empty() && other->name.view() == name) return true;
        }
        return false;
    }
    return names->repeats(*this, name);
}

bool ParameterNames::repeats(const FunctionObject& function, std::string_view name) {
    if (function_ != function.serial() || count_ != function.parameters.size()) {
        function_ = function.serial();
        names_.clear();
        for (const qestl::SmartPtr& existing : function.parameters) {
            IRObject* other = asObject(existing);
            if (other && !other->name.empty()) names_.emplace(other->name.view());
        }
    }
    // The set is also what the next parameter is checked against.
    if (!names_.emplace(name).second) return true;
    count_ = function.parameters.size() + 1;
    return false;
}

// Naming every parameter again for each one added made a method of k
// parameters cost k^2: when the part before the parameter list is what it
// was, the new type is appended to the list in place.
void FunctionObject::linkLastParameter() {
    noteWrite();
    const size_t count = parameters.size();
    // Both texts are made on the stack: the part before the list, built
    // into the name and moved out again, and the piece appended, each a text
    // of its own, took allocations for every parameter of every method.
    LinkNameText baseRoom;
    qestl::qestringA& base = baseRoom.text();
    if (count > 1) writeLinkName(base);
    const size_t length = linkName_.length();
    const bool extend = count > 1 && length > base.length() + 1 &&
                        linkName_.view().substr(0, base.length()) == base.view() && linkName_[base.length()] == '(' &&
                        linkName_[length - 1] == ')';
    if (!extend) {
        buildLinkName();
        return;
    }
    linkNameDeferred = 0;
    LinkNameText pieceRoom;
    qestl::qestringA& piece = pieceRoom.text();
    piece.append(",");
    IRObject* added = asObject(parameters[count - 1]);
    if (IRObject* t = added ? asObject(added->valueType()) : nullptr) piece.append(t->linkName());
    piece.append(")");
    linkName_.replace(length - 1, 1, piece.c_str(), piece.length());
}

bool FunctionObject::addThrows(const qestl::SmartPtr& thrown) {
    noteWrite();
    IRObject* klass = asObject(thrown);
    if (klass == nullptr) return false;
    Exceptions& own = exceptions.edit();
    if (isBuiltin(klass->classRef(), Builtin::Exception)) own.throwsAll = 1;
    if (own.throwsSet.contains(klass)) return false;
    own.throwsSet.set(thrown, 0);
    return true;
}

bool FunctionObject::Exceptions::operator==(const Exceptions& other) const {
    if (catchesAll != other.catchesAll || throwsAll != other.throwsAll) return false;
    if (throwsSet.size() != other.throwsSet.size()) return false;
    for (size_t i = 0; i < throwsSet.size(); ++i) {
        const ObjectStateMap::Entry& mine = throwsSet.begin()[i];
        const ObjectStateMap::Entry& theirs = other.throwsSet.begin()[i];
        if (mine.object.get() != theirs.object.get() || mine.serial != theirs.serial || mine.value != theirs.value)
            return false;
    }
    if (scopes.size() != other.scopes.size()) return false;
    for (size_t i = 0; i < scopes.size(); ++i) {
        const qestl::qevector<qestl::SmartPtr>& mine = scopes[i];
        const qestl::qevector<qestl::SmartPtr>& theirs = other.scopes[i];
        if (mine.size() != theirs.size()) return false;
        for (size_t j = 0; j < mine.size(); ++j)
            if (mine[j].get() != theirs[j].get()) return false;
    }
    return true;
}

void FunctionObject::noteCaught(const qestl::SmartPtr& caught) {
    noteWrite();
    if (!hasCatchScope() || !caught) return;
    Exceptions& own = exceptions.edit();
    own.scopes.back().pushBack(caught);
    if (isBuiltin(asObject(caught), Builtin::Exception)) own.catchesAll = 1;
}

bool FunctionObject::coversException(const IRObject* thrown) {
    // A function that neither throws nor catches has nothing made.
    if (!exceptions.made()) return false;
    Exceptions& own = exceptions.edit();
    if (!own.scopes.empty()) {
        for (const qestl::SmartPtr& caught : own.scopes.back())
            if (caught.get() == thrown) return true;
        if (own.catchesAll) return true;
    }
    if (ObjectStateMap::Entry* entry = own.throwsSet.find(thrown)) {
        noteWrite();
        ++entry->value;
        return true;
    }
    if (own.throwsAll) {
        for (ObjectStateMap::Entry& entry : own.throwsSet) {
            if (!isBuiltin(asObject(entry.object), Builtin::Exception)) continue;
            noteWrite();
            ++entry.value;
            break;
        }
        return true;
    }
    return false;
}

void FunctionObject::describeParameters(qestl::qestringA& text) const {
    int number = 0;
    for (const qestl::SmartPtr& parameterRef : parameters) {
        IRObject* parameterObject = asObject(parameterRef);
        IRObject* t = parameterObject ? asObject(parameterObject->valueType()) : nullptr;
        if (t == nullptr) break;
        appendDiagnostic(text, diag::ArgumentCandidate, ++number, parameterObject->name, t->name);
    }
}

void FunctionObject::describeThrows(qestl::qestringA& text) const {
    int number = 0;
    for (const ObjectStateMap::Entry& entry : throwsSet()) {
        appendThrowLine(text, ++number, *asObject(entry.object));
    }
}

void FunctionObject::warnUnusedThrows(ModelContext& context) {
    if (isOverride()) return;
    qestl::qestringA listing;
    int number = 0;
    for (const ObjectStateMap::Entry& entry : throwsSet()) {
        if (entry.value == 0) appendThrowLine(listing, ++number, *asObject(entry.object));
    }
    if (number > 0) context.reportWarning(diag::UnusedThrows, declarationNode.handle(), listing);
}

uint32_t FunctionObject::writeTypeOperand(qestl::ByteWriter& out, uint64_t base, uint8_t callerFlags, bool) {
    uint8_t depth = 0;
    qestl::SmartPtr held = type;
    IRObject* t = asObject(held);
    while (t != nullptr && t->isArray()) {
        ++depth;
        held = t->valueType();
        t = asObject(held);
    }
    uint8_t flags = callerFlags;
    if (t == nullptr || t->id() != 0 || (t->flagsB & kFlagByBuiltinId)) flags |= 1;
    if (isConst()) flags |= 2;
    if (isStatic()) flags |= 4;
    if (isNotNilptr()) flags |= 8;
    if (isOverride()) flags |= 16;
    if (isAbstractMethod()) flags |= 32;
    if (isConstructor()) flags |= 64;
    if (!throwsSet().empty()) flags |= 128;
    uint64_t value = 0;
    if (t != nullptr) value = t->id() != 0 ? t->id() : (t->address() == kUnplaced ? 0 : t->address() - base);
    out.u32le(depth | ((kind & 0xFFu) << 8) | (static_cast<uint32_t>(flags) << 16) |
              ((static_cast<uint32_t>(parameters.size()) & 0xFF) << 24));
    out.u64le(value);
    uint32_t written = 12;
    for (const qestl::SmartPtr& parameterRef : parameters) {
        if (IRObject* parameterObject = asObject(parameterRef)) {
            written += parameterObject->writeTypeOperand(out, base, 0, true);
        } else {
            out.u32le(1u << 16);
            out.u64le(0);
            written += 12;
        }
    }
    if (flags & 128) {
        out.u32le(static_cast<uint32_t>(throwsSet().size()));
        written += 4;
        for (const ObjectStateMap::Entry& entry : throwsSet())
            written += asObject(entry.object)->writeTypeOperand(out, base, 0, false);
    }
    return written;
}

bool FunctionObject::writeToLibrary(LibraryWriter& w) {
    if (!IRObject::writeToLibrary(w)) return false;
    w.out.u32le(static_cast<uint32_t>(parameters.size()));
    for (const qestl::SmartPtr& parameterRef : parameters)
        if (!w.writeObjectRef(parameterRef)) return false;
    // In the order of the identities: a library written again after loading
    // this one lists them as the first did (loaded classes get new serials).
    std::vector<const ObjectStateMap::Entry*> thrown;
    for (const ObjectStateMap::Entry& entry : throwsSet()) thrown.push_back(&entry);
    std::sort(thrown.begin(), thrown.end(), [](const ObjectStateMap::Entry* a, const ObjectStateMap::Entry* b) {
        return asObject(a->object)->identity() < asObject(b->object)->identity();
    });
    w.out.u32le(static_cast<uint32_t>(thrown.size()));
    for (const ObjectStateMap::Entry* entry : thrown)
        if (!w.writeObjectRef(entry->object)) return false;
    w.out.u8(exceptions.get().throwsAll ? 1 : 0);
    return true;
}

bool FunctionObject::readFromLibrary(uint32_t recordKind, LibraryReader& r) {
    if (!IRObject::readFromLibrary(recordKind, r)) return false;
    // Each reference takes at least one byte: a count that the bytes
    // left cannot hold is refused before it sizes anything.
    const uint32_t count = r.in.u32le();
    if (!r.in.ok() || !r.in.fitsRemaining(count, 1)) return false;
    for (uint32_t i = 0; i < count; ++i) {
        qestl::SmartPtr parameterRef;
        if (!r.readObjectRef(parameterRef)) return false;
        parameters.pushBack(parameterRef);
    }
    const uint32_t thrown = r.in.u32le();
    if (!r.in.ok() || !r.in.fitsRemaining(thrown, 1)) return false;
    for (uint32_t i = 0; i < thrown; ++i) {
        qestl::SmartPtr klass;
        if (!r.readObjectRef(klass) || !klass) return false;
        exceptions.edit().throwsSet.set(klass, 0);
    }
    if (r.in.remaining() > 0 && r.in.u8() != 0) exceptions.edit().throwsAll = 1;
    return true;
}

}  // namespace model

namespace model {

TemplatePiece& TemplateFunctionObject::appendPiece() {
    auto* piece = new TemplatePiece();
    *lastLink_ = piece;
    lastLink_ = &piece->next;
    ++pieceCount_;
    return *piece;
}

void TemplateFunctionObject::clearPieces() {
    while (firstPiece_ != nullptr) delete std::exchange(firstPiece_, firstPiece_->next);
    lastLink_ = &firstPiece_;
    pieceCount_ = 0;
    ownPiece = TemplatePiece();
}

}  // namespace model
