// The root object of one compilation: the scope chain and the local scopes,
// the code lists and the program's records, the lookup lists, the jump
// labels of the statement being compiled, the entry and exit points, the
// counters and the diagnostics. Everything that compiles takes it first.
#pragma once

#include <cassert>
#include <cstdint>
#include <map>
#include <set>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "codegen/debug_info_table.h"
#include "codegen/diagnostic_capture.h"
#include "codegen/jump_scope.h"
#include "codegen/near_misses.h"
#include "codegen/relocation_table.h"
#include "codegen/resource_table.h"
#include "codegen/scope_chain.h"
#include "foundation/qestring.h"
#include "foundation/rbtree.h"
#include "foundation/stream.h"
#include "model/container.h"
#include "model/ir_result.h"
#include "model/model_context.h"
#include "model/native_import.h"
#include "model/name_string_pool.h"
#include "source/node.h"
#include "source/source_project.h"

struct CompileOptions;

// The code lists of a context.
enum CodeListId : uint32_t {
    kMainList = 0,
    kMemberCodeList = 1,
    kRecordList = 2,  // lock records, built-in methods, source class records
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

// Names ordered by length, then bytes.
using ByLengthThenBytes = qestl::LengthThenBytesLess;
using NameMap = std::map<std::string, qestl::SmartPtr, ByLengthThenBytes>;

struct PackageRef {
    qestl::SmartPtr package;  // empty until bound
    model::NodeHandle node;
};

class CompileContext;

// Restores the value-context flag (and the receiver when it pushed one).
class FlagGuard {
public:
    explicit FlagGuard(CompileContext* context, bool pushedReceiver = false)
        : context_(context), pushedReceiver_(pushedReceiver) {}
    FlagGuard(FlagGuard&& other) noexcept : context_(other.context_), pushedReceiver_(other.pushedReceiver_) {
        other.context_ = nullptr;
    }
    FlagGuard(const FlagGuard&) = delete;
    FlagGuard& operator=(const FlagGuard&) = delete;
    ~FlagGuard() { restore(); }
    void restore();

private:
    CompileContext* context_;
    bool pushedReceiver_;
};

class CompileContext final : public model::ModelContext {
public:
    CompileContext();
    ~CompileContext() override;
    CompileContext(const CompileContext&) = delete;
    CompileContext& operator=(const CompileContext&) = delete;

    // Releases the compile state (code, tables, diagnostics, sources).
    void reset();
    // Settles every operand, then lays out the image addresses; called once
    // after a clean semantic pass, before any writer.
    void resolveOperands();
    void assignAddresses();

    // The options of the run (not owned); seeds the warning suppression.
    void setOptions(CompileOptions* runOptions);

    // ---- errors and warnings
    using model::ModelContext::reportError;
    using model::ModelContext::reportWarning;
    uint32_t errorCount() const override { return errors; }
    // An error of the declaration pass, reported by reportDeferred once the
    // pass has settled.
    template <typename... Arguments>
    void deferError(const Diagnostic& entry, const model::NodeHandle& node, const Arguments&... arguments) {
        assert(entry.kind == DiagnosticKind::Error);
        deferText(formatDiagnostic(entry, {DiagnosticArgument(arguments)...}), node);
    }
    // An error that a pass revisiting the node would report again: printed
    // once per node and text, whichever pass meets it first.
    template <typename... Arguments>
    void reportErrorOnce(const Diagnostic& entry, const model::NodeHandle& node, const Arguments&... arguments) {
        assert(entry.kind == DiagnosticKind::Error);
        reportTextOnce(formatDiagnostic(entry, {DiagnosticArgument(arguments)...}), node);
    }
    // Advice at a node (never empty), printed unless warnings are
    // suppressed there; counted as nothing.
    void reportTip(const Diagnostic& entry, const model::NodeHandle& node);
    // Reports what the last declaration run deferred: each marked node's
    // first message once, node-less ones always.
    void reportDeferred();
    std::string sourceName(const model::NodeHandle& node) const;
    std::string sourceExcerpt(const model::NodeHandle& node) const;
    void countError();
    bool hasErrors() const;
    // The error stop after the semantic pass.
    void reportCompileStopped();

    // Runs the declaration pass over `body` until a run declares nothing
    // new, then reports the deferred errors of the last run. Defined in
    // declare/: codegen never calls up into the compile library.
    void declareUntilStable(model::IRObject* scope, const model::NodeHandle& body,
                            const model::NodeHandle& declaration);

    // ---- code lists and emission
    qestl::SmartPtr emit(qestl::SmartPtr templ, const model::NodeHandle& node);
    qestl::SmartPtr emitCopyOf(const model::cbircode& templ, const model::NodeHandle& node);
    qestl::SmartPtr emitToMainList(const model::cbircode& templ, const model::NodeHandle& node) override;
    void appendCode(qestl::SmartPtrVector& code);
    void flushResult(model::IRResult& result);
    void flushResultInto(model::IRResult* result, model::Operand& out);
    qestl::SmartPtr codeAt(uint64_t index) const;
    qestl::SmartPtr lastInstruction() const;
    void switchCodeList(bool memberList, CodeListGuard* guard);
    void enterJumpScope(JumpScope& scope, uint32_t mask);
    void inheritJumpScope(JumpScope& scope);
    void bindLabels(uint64_t first, uint64_t end);
    // The names of the current frame that a later popLocals keeps.
    uint64_t localMark() const;
    void popLocals(uint64_t mark);
    CodeList& codeList(uint32_t id) { return *codeLists[id]; }
    CodeList& currentList() { return *current; }

    // ---- scopes, modes and flags
    uint32_t setCompileMode(uint32_t mode);
    void pushScopeMode(bool classScope);
    qestl::SmartPtr currentScopeObject() const;
    uint32_t currentScopeMode() const;
    void popObjectScope();
    FlagGuard pushFlag(uint8_t value);
    // The owner of the current frame (the function being compiled), which
    // pending instructions are stamped with; empty outside a frame.
    qestl::SmartPtr frameOwner() const { return scopes.frame != nullptr ? scopes.frame->owner : qestl::SmartPtr(); }
    void popThisObject();
    void beginThrowScope();
    void noteThrownType(const qestl::SmartPtr& type);
    // Warning 330 for the exception classes a call may throw that the
    // function being compiled does not cover.
    void checkThrows(model::IRObject& method, const model::NodeHandle& node);

    // ---- lookup
    void lookupName(std::string_view name, const model::NodeHandle& node);
    void addResult(const model::IRResult& result);
    qestl::SmartPtr resolveDottedName(std::string_view name);
    qestl::SmartPtr resolveNameStep(const qestl::SmartPtr& previous, std::string_view part);
    bool lookupGlobal(std::string_view name);
    void lookupInScopes(qestl::SmartPtr object, std::string_view name);
    void lookupInImportedPackages(std::string_view name);
    void lookupNameIndex(std::string_view name);
    void swapResults(model::IRValueList& other) { candidates.swap(other); }
    void setResults(const model::IRResult& result);
    void clearResults();
    void bindPackageReferences();

    // ---- entry and exit
    void setEntryMethod(const qestl::SmartPtr& method, const qestl::SmartPtr& entryOwner,
                        const model::NodeHandle& node);
    void setExitMethod(const qestl::SmartPtr& method);
    void emitProgramEntry();

    // ---- what the model asks
    bool resolveOperand(model::Operand& operand, uint64_t recordSize, bool keepAsTarget) override;
    void fixupOperand(model::Operand& operand, model::cbircode& record, uint64_t base) override;
    void appendToThirdList(const qestl::SmartPtr& instruction) override;
    void addCandidate(const model::IRResult& result) override { addResult(result); }
    size_t candidateCount() const override { return candidates.size(); }
    void clearCandidates() override { candidates.clear(); }
    uint64_t lookupGeneration() const override { return generation; }
    void addNearMiss(const model::IRResult& result) override { nearMisses.pushBack(result); }
    void addNearMissesOf(model::Container& container, std::string_view name, size_t memberCount) override {
        nearMisses.defer(container, name, memberCount);
    }
    void describeCandidates(qestl::qestringA& text, const model::NodeHandle& node) override;
    model::Container& heap(HeapId which) override { return *scopes.heaps[which]; }
    model::NameStringPool& nameStringPool() override { return namePool; }
    qestl::ByteWriter& typeStream() override { return typeWriter; }
    bool isListedSlotObject(const model::IRObject* object) const override;
    qestl::SmartPtr viewer() const override;
    model::Operand stringResource(std::string_view text) override;
    model::Operand binaryResource(const uint8_t* data, size_t size) override;
    model::Operand relocationReference(std::string_view name, const model::Operand& nameOperand,
                                       uint32_t hash) override;
    bool sharedModule() const override;
    qestl::SmartPtr arrayTypeOf(const qestl::SmartPtr& element) override;

    // ---- classes
    // Enters a finished built-in class (owner empty for a top-level class):
    // id map, global scope or its owner, and the built-in class list.
    void registerBuiltinClass(const qestl::SmartPtr& owner, const qestl::SmartPtr& klass);
    // Enters a class compiled from source or made from a template; a package
    // entered twice gives an operand of kind 33.
    model::Operand registerClass(std::string_view name, const qestl::SmartPtr& klass, bool declareInScope,
                                 bool isStatic);

    // ---- version texts of the .version document
    std::string fileVersionText() const;
    std::string languageText() const;
    std::string productVersionText() const;
    int64_t productVersionNumber() const;

    // Local scopes and counters.
    std::vector<NameMap*> localScopes;  // not owned; innermost last
    uint32_t errors = 0;
    uint32_t savedErrors = 0;
    uint32_t nestedUnits = 0;
    // Operands written while their target had no place in the image: each
    // would read whatever lies at address -1.
    uint32_t unplacedReferences = 0;
    DiagnosticCapture* activeCapture = nullptr;
    std::map<std::string, qestl::SmartPtrVector, ByLengthThenBytes> listMap;
    std::vector<uint8_t> flagStack;
    uint8_t valueContext = 0;
    // The scope chain.
    ScopeChain scopes;
    // Global containers and project.
    model::Container globalTemplates{model::kStaticMethods};
    model::Container globalObjects{model::kImageHeap};
    SourceProject project;
    model::Operand iconResource;
    uint32_t statementHints = 0;  // bit 0 compare only, bit 2 array type
    CompileOptions* options = nullptr;
    uint32_t warningSuppression = 0;
    // Lookup.
    uint8_t deduplicating = 0;
    uint64_t generation = 0;
    qestl::SmartPtr receiver;
    std::vector<qestl::SmartPtr> receiverStack;
    // Compile-time stacks.
    std::vector<CodeList*> savedLists;
    qestl::SmartPtrVector pendingClasses;
    // Template instances registered so far, and the names of the instances
    // whose base class is being resolved (one met again is a base cycle).
    uint32_t instancesMade = 0;
    std::vector<std::string> instanceBasesResolving;
    // Set when an instantiation bound was reported: no instance body is
    // compiled from then on, so a template that outgrew the bounds does not
    // report the same faults once per instance.
    uint8_t instantiationStopped = 0;
    // The code of every template method instance, released with the code
    // lists: the instance's first instruction and its function hold each
    // other, and an instance no call chose is placed in no list.
    qestl::SmartPtrVector instanceCode;
    std::vector<uint32_t> statementKinds;
    std::vector<model::IRValueList> valueLists;
    // Code and program records.
    CodeList* codeLists[4];
    std::unique_ptr<codegen::DebugInfoTable> debugInfo;
    std::unique_ptr<codegen::ResourceTable> resources;
    qestl::SmartPtr relocationRecord;
    qestl::SmartPtr importModuleRecord;
    // The modules of the link libraries: opcode-166 records naming each
    // through a string resource.
    qestl::SmartPtrVector moduleEntries;
    // Every object the link libraries made: a class whose name an earlier
    // library took stays out of the third heap, yet is torn down with the
    // rest.
    qestl::SmartPtrVector linkedObjects;
    qestl::SmartPtr importTable;  // a model::ImportTable
    model::ImportTable& imports() { return *importTable.as<model::ImportTable>(); }
    std::map<std::string, PackageRef, ByLengthThenBytes> referencedPackages;
    std::map<std::string, qestl::SmartPtr, ByLengthThenBytes> packages;
    CodeList* current;
    uint64_t layoutEnd = 0;
    qestl::qeByteStream byteStream;
    std::map<std::string, uint8_t, ByLengthThenBytes> symbolStrings;
    uint32_t symbolStringsCode = 163;
    std::map<int32_t, qestl::SmartPtr> classesById;
    std::map<std::string, qestl::SmartPtrVector, ByLengthThenBytes> nameIndex;
    // Function being compiled and jumps.
    FunctionCompileState* function = nullptr;  // not owned
    model::Operand* activeReturn = nullptr;
    model::Operand* activeBreak = nullptr;
    model::Operand* activeContinue = nullptr;
    model::Operand entryOperand, exitOperand;
    qestl::SmartPtr entryClass;
    model::NodeHandle entryNode;
    uint8_t entrySet = 0, exitSet = 0;
    uint32_t nestingDepth = 0;
    uint32_t declarationDepth = 0;
    std::map<std::string, uint8_t, ByLengthThenBytes> builtinClassNames;
    uint64_t sectionStarts[7] = {};
    // The pending result.
    model::IRValueList candidates;
    codegen::NearMissList nearMisses;
    DeferredDiagnostics deferred;
    // Node and text of every error reported once (membership only).
    std::set<std::pair<const qeAbstractNode*, std::string>> reportedOnce;
    // Not of the image: the pending block variable and exception operand of
    // the statement compilers, the relocation entries and the name strings.
    qestl::SmartPtr pendingBlockVariable;
    model::Operand exceptionOperand;
    codegen::RelocationTable relocations;
    model::NameStringPool namePool;
    std::map<uint64_t, qestl::SmartPtr> arrayTypes;  // by the element's serial
    // Deferred values compiled on trial, by their node's serial: the results
    // and whether that compilation reported errors; and the serials whose
    // trial is under way. Not of the image.
    struct TrialResults {
        model::IRValueList results;
        bool failed = false;
    };
    std::map<uint32_t, TrialResults> trialResults;
    std::set<uint32_t> trialsUnderWay;
    qestl::ByteVector typeBytes;  // the image's type stream
    qestl::ByteWriter typeWriter{typeBytes};

private:
    void deliverError(std::string_view text, const model::NodeHandle& node) override;
    void deliverWarning(uint32_t number, std::string_view text, const model::NodeHandle& node) override;
    void deferText(std::string_view text, const model::NodeHandle& node);
    void reportTextOnce(std::string_view text, const model::NodeHandle& node);
    void logError(std::string_view message);
    void releaseLists();
    CodeList ownLists_[4];
};

// An empty text gives 0; at most four parts, each a signed 32-bit number
// (base 8 after a leading 0) ORed in after a 16-bit shift.
int64_t parseVersionNumber(std::string_view text);

// After a method body: warnings 204 and 200 for the unused parameters and
// objects of its frame.
void warnUnusedObjects(model::Container& frame, CompileContext& context);

// The language description file of -langmapping, applied to the string
// resources; its failures are warning lines on standard output.
void loadLanguageDescription(CompileContext& context);
