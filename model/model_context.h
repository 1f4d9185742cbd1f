// What the model asks of the compile context. The model sits below the code
// generator, so it reaches the context only through this interface; the
// compile context implements it, and the tests have a small one of their own.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "diagnostics/diagnostics.h"
#include "foundation/byte_io.h"
#include "foundation/qestring.h"
#include "foundation/smart_ptr.h"
#include "foundation/vector.h"
#include "model/builtin_types.h"
#include "model/failed_names.h"
#include "model/operand.h"
#include "source/node.h"

namespace model {

class cbircode;
class IRResult;
class IRObject;
class NameStringPool;
class Container;
using NodeHandle = _KNode<qeAbstractNode>;

class ModelContext {
public:
    virtual ~ModelContext() = default;

    // Linking and fix-up of one operand (resolution before addresses are
    // read, fix-up just before the record is written at base - size).
    virtual bool resolveOperand(Operand& operand, bool keepAsTarget) = 0;
    virtual void fixupOperand(Operand& operand, cbircode& record, uint64_t base) = 0;

    // The third code list (lock instructions, built-in method bodies).
    virtual void appendToThirdList(const qestl::SmartPtr& instruction) = 0;
    // Copies the instruction into the main code list, stamped with the node
    // and the current function; returns the copy.
    virtual qestl::SmartPtr emitToMainList(const cbircode& instruction, const NodeHandle& node) = 0;

    // Candidate lists of name lookups. addCandidate lists an object once per
    // lookup generation when the context counts generations (it stamps the
    // object); the caller clears the list.
    virtual void addCandidate(const IRResult& result) = 0;
    virtual void addCandidate(IRResult&& result) { addCandidate(static_cast<const IRResult&>(result)); }
    // The candidate of `object` made in place at the end of the list, its
    // operand and code left for the caller to set; null when the lookup
    // lists the object already. A member bound so is not made apart, moved
    // in and dropped, which cost as much again as the binding.
    virtual IRResult* placeCandidate(const qestl::SmartPtr& object) = 0;
    // Asked after nearly every table a lookup passes: read in place.
    size_t candidateCount() const { return candidateList_->size(); }
    // A candidate already listed, for the lookup that listed it to finish.
    IRResult& candidateAt(size_t index);
    // Empties the candidate list ("super" restarts a lookup on the base).
    virtual void clearCandidates() = 0;
    virtual uint64_t lookupGeneration() const = 0;
    // The near-miss list of similar names.
    virtual void addNearMiss(const IRResult& result) = 0;
    // A lookup of `name` (of that failed-name number) failed in `container`,
    // which then held `memberCount` members: its similar names are near
    // misses. Listed here at once; a context may list them only when a
    // message asks for them, since most failed lookups succeed further out.
    virtual void addNearMissesOf(Container& container, std::string_view name, uint32_t number, size_t memberCount);
    // Numbers the objects lent to a compilation keep from one compilation
    // to the next: of the names that failed lookups in their tables, and of
    // the image's resolution walks that passed over their records. A
    // context's own, or those of the context whose built-ins it was lent
    // (shareNumberingOf).
    struct Numbering {
        FailedNameNumbers failedNames;
        uint64_t resolutionWalks = 0;
    };
    FailedNameNumbers& failedNameNumbers() { return numbering_->failedNames; }
    // Never one a walk of an earlier compilation had.
    uint64_t nextResolutionWalk() { return ++numbering_->resolutionWalks; }
    void shareNumberingOf(ModelContext& lender) { numbering_ = lender.numbering_; }
    // The built-in types of the compilation: its own, or those of the
    // context whose built-ins it was lent (shareBuiltinsOf).
    BuiltinTypes& builtins() { return *builtins_; }
    const BuiltinTypes& builtins() const { return *builtins_; }
    void shareBuiltinsOf(ModelContext& lender) { builtins_ = lender.builtins_; }
    // Appends the candidate methods to an error text ("找不到方法." and the
    // list), and the near-miss names when there are any.
    virtual void describeCandidates(qestl::qestringA& text, const NodeHandle& node) = 0;

    // The heaps of globals, of built-in classes and of the static members of
    // built-in classes.
    enum HeapId { kGlobals, kBuiltinClasses, kBuiltinStatics };
    virtual Container& heap(HeapId which) = 0;

    // The name strings of the image being written.
    virtual NameStringPool& nameStringPool() = 0;
    // The type stream of the image: the type operands of the functions
    // that containers list.
    virtual qestl::ByteWriter& typeStream() = 0;

    // Objects the context lists as slot objects (never transient values).
    virtual bool isListedSlotObject(const IRObject* object) const = 0;

    // The innermost scope object (class or function being compiled): the
    // viewer of access checks. Not counted: every member a lookup lists is
    // checked from it.
    virtual IRObject* viewer() const = 0;

    // Diagnostics at a node (the node may be empty): an entry of the
    // registry and the arguments its "%s" take, in order.
    template <typename... Arguments>
    void reportError(const Diagnostic& entry, const NodeHandle& node, const Arguments&... arguments) {
        assert(entry.kind == DiagnosticKind::Error);
        deliverError(formatDiagnostic(entry, {DiagnosticArgument(arguments)...}), node);
    }
    template <typename... Arguments>
    void reportWarning(const Diagnostic& entry, const NodeHandle& node, const Arguments&... arguments) {
        assert(entry.kind == DiagnosticKind::Warning);
        deliverWarning(entry.warningNumber, formatDiagnostic(entry, {DiagnosticArgument(arguments)...}), node);
    }
    // A warning whose number the source names (@Warning).
    template <typename... Arguments>
    void reportWarningNumbered(const Diagnostic& entry, uint32_t number, const NodeHandle& node,
                               const Arguments&... arguments) {
        assert(entry.kind == DiagnosticKind::Warning && entry.warningNumber == 0);
        deliverWarning(number, formatDiagnostic(entry, {DiagnosticArgument(arguments)...}), node);
    }
    virtual uint32_t errorCount() const = 0;

    // The operand of a string resource holding text (found or added).
    virtual Operand stringResource(std::string_view text) = 0;
    // stringResource of a text the caller knows no resource has yet (a
    // catalogue method's link name), entered in the index of names only when
    // a string like it is asked for. A static text is read in place.
    virtual Operand unlistedStringResource(const qestl::qestringA& text) { return stringResource(text.view()); }
    // stringResource of a text a record is named with as it is placed (a
    // class's name and link name), which few other texts ask for.
    virtual Operand nameResource(std::string_view text) { return stringResource(text); }
    // The operand of a binary resource (kind 1) holding the bytes.
    virtual Operand binaryResource(const uint8_t* data, size_t size) = 0;
    // The operand referring to the relocation entry of a linked name.
    virtual Operand relocationReference(std::string_view name, const Operand& nameOperand, uint32_t hash) = 0;

    virtual bool sharedModule() const = 0;

    // Whether a class of this compilation lists a template method: until
    // one does, a member lookup need not walk the bases for them.
    bool templateMethodsListed() const { return templateMethodsListed_; }
    void noteTemplateMethodsListed() { templateMethodsListed_ = true; }

    // The array type of an element type (made once per element type).
    virtual qestl::SmartPtr arrayTypeOf(const qestl::SmartPtr& element) = 0;

    // An object no table holds any more, detached with the compilation's
    // classes: a method left out of a table refused for a duplicate still
    // holds its owner, and nothing else would cut that.
    virtual void detachAtTeardown(const qestl::SmartPtr& object) { (void)object; }

private:
    qestl::qevector<IRResult>* candidateList_ = nullptr;
    bool templateMethodsListed_ = false;
    Numbering ownNumbering_;
    Numbering* numbering_ = &ownNumbering_;
    BuiltinTypes ownBuiltins_;
    BuiltinTypes* builtins_ = &ownBuiltins_;

protected:
    // The list the context keeps its candidates in: it stays in place while
    // its buffer is swapped.
    void keepCandidatesIn(qestl::qevector<IRResult>& list) { candidateList_ = &list; }
    // The formatted text of a reported entry, printed or held.
    virtual void deliverError(std::string_view text, const NodeHandle& node) = 0;
    virtual void deliverWarning(uint32_t number, std::string_view text, const NodeHandle& node) = 0;
};

}  // namespace model
