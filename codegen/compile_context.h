// The root object of one compilation. Everything that compiles takes it
// first. Its state lives in parts that keep their own rules: the
// diagnostics, the emitter (code lists, labels, the function being
// compiled), the lookup (scope chain, candidates, packages), the program
// tables the image is written from, and the program entry. What it adds are
// the pass-level entries that take several parts at once.
#pragma once

#include <array>
#include <cassert>
#include <cstdint>
#include <map>
#include <set>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "codegen/debug_info_table.h"
#include "codegen/code_emitter.h"
#include "codegen/compile_diagnostics.h"
#include "codegen/jump_scope.h"
#include "codegen/name_lookup.h"
#include "codegen/near_misses.h"
#include "codegen/pass_state.h"
#include "codegen/program_entry.h"
#include "codegen/program_tables.h"
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
    void setOptions(const CompileOptions* runOptions);

    // ---- errors and warnings (forwarded to the diagnostics)
    CompileDiagnostics& diagnostics() { return diagnostics_; }
    const CompileDiagnostics& diagnostics() const { return diagnostics_; }
    using model::ModelContext::reportError;
    using model::ModelContext::reportWarning;
    uint32_t errorCount() const override { return diagnostics_.errorCount(); }
    // An error of the declaration pass, reported by reportDeferred once the
    // pass has settled.
    template <typename... Arguments>
    void deferError(const Diagnostic& entry, const model::NodeHandle& node, const Arguments&... arguments) {
        assert(entry.kind == DiagnosticKind::Error);
        diagnostics_.deferError(formatDiagnostic(entry, {DiagnosticArgument(arguments)...}), node);
    }
    // An error that a pass revisiting the node would report again: printed
    // once per node and text, whichever pass meets it first.
    template <typename... Arguments>
    void reportErrorOnce(const Diagnostic& entry, const model::NodeHandle& node, const Arguments&... arguments) {
        assert(entry.kind == DiagnosticKind::Error);
        diagnostics_.reportErrorOnce(formatDiagnostic(entry, {DiagnosticArgument(arguments)...}), node);
    }
    // Reports what the last declaration run deferred: each marked node's
    // first message once, node-less ones always.
    void reportDeferred();
    // The error stop after the semantic pass.
    void reportCompileStopped();

    SourceProject& project() { return project_; }
    const SourceProject& project() const { return project_; }
    const CompileOptions* options() const { return options_; }

    // Runs the declaration pass over `body` until a run declares nothing
    // new, then reports the deferred errors of the last run. Defined in
    // declare/: codegen never calls up into the compile library.
    void declareUntilStable(model::IRObject* scope, const model::NodeHandle& body,
                            const model::NodeHandle& declaration);

    // ---- code lists and emission (the state is the emitter's)
    CodeEmitter& emitter() { return emitter_; }
    const CodeEmitter& emitter() const { return emitter_; }
    qestl::SmartPtr emitToMainList(const model::cbircode& templ, const model::NodeHandle& node) override {
        return emitter_.emitToMainList(templ, node);
    }
    void flushResultInto(model::IRResult* result, model::Operand& out);
    void bindLabels(uint64_t first, uint64_t end) { emitter_.bindLabels(first, end, errorCount() != 0); }

    // ---- scopes, modes and flags
    uint32_t setCompileMode(uint32_t mode);
    void pushScopeMode(bool classScope);
    qestl::SmartPtr currentScopeObject() const;
    uint32_t currentScopeMode() const;
    void popObjectScope();
    // The owner of the current frame (the function being compiled), which
    // pending instructions are stamped with; empty outside a frame.
    qestl::SmartPtr frameOwner() const {
        return lookup_.scopes().frame != nullptr ? lookup_.scopes().frame->owner : qestl::SmartPtr();
    }
    void beginThrowScope();
    void noteThrownType(const qestl::SmartPtr& type);
    // Warning 330 for the exception classes a call may throw that the
    // function being compiled does not cover.
    void checkThrows(model::IRObject& method, const model::NodeHandle& node);

    // ---- lookup (the state is the lookup part's)
    NameLookup& lookup() { return lookup_; }
    const NameLookup& lookup() const { return lookup_; }
    void lookupName(std::string_view name, const model::NodeHandle& node);
    // lookupName of the name the node spells.
    void lookupNodeName(const model::NodeHandle& node);
    qestl::SmartPtr resolveDottedName(std::string_view name);
    qestl::SmartPtr resolveNameStep(const qestl::SmartPtr& previous, std::string_view part);
    bool lookupGlobal(std::string_view name);
    void lookupInScopes(qestl::SmartPtr object, std::string_view name);
    void lookupInImportedPackages(const qestl::HashedText& name);
    void lookupNameIndex(std::string_view name);
    void bindPackageReferences();

    // ---- entry and exit (forwarded to the program entry)
    void setEntryMethod(const qestl::SmartPtr& method, const qestl::SmartPtr& entryOwner,
                        const model::NodeHandle& node) {
        if (!entry_.setEntry(method, entryOwner, node)) reportError(diag::DuplicateEntry, model::NodeHandle());
    }
    void setExitMethod(const qestl::SmartPtr& method) {
        if (!entry_.setExit(method)) reportError(diag::DuplicateExit, model::NodeHandle());
    }
    void emitProgramEntry();

    // ---- what the model asks
    bool resolveOperand(model::Operand& operand, bool keepAsTarget) override;
    void fixupOperand(model::Operand& operand, model::cbircode& record, uint64_t base) override;
    void appendToThirdList(const qestl::SmartPtr& instruction) override;
    void addCandidate(const model::IRResult& result) override { lookup_.addResult(result); }
    void addCandidate(model::IRResult&& result) override { lookup_.addResult(std::move(result)); }
    model::IRResult* placeCandidate(const qestl::SmartPtr& object) override { return lookup_.placeResult(object); }
    void clearCandidates() override { lookup_.resultsInPlace().clear(); }
    uint64_t lookupGeneration() const override { return lookup_.generation(); }
    void addNearMiss(const model::IRResult& result) override { lookup_.nearMisses().pushBack(result); }
    void addNearMissesOf(model::Container& container, std::string_view name, uint32_t number,
                         size_t memberCount) override {
        lookup_.nearMisses().defer(container, name, number, memberCount);
    }
    void describeCandidates(qestl::qestringA& text, const model::NodeHandle& node) override;
    model::Container& heap(HeapId which) override { return *lookup_.scopes().heaps[which]; }
    model::NameStringPool& nameStringPool() override { return tables_.namePool(); }
    qestl::ByteWriter& typeStream() override { return tables_.typeWriter(); }
    bool isListedSlotObject(const model::IRObject* object) const override;
    model::IRObject* viewer() const override { return lookup_.scopes().viewerObject(); }
    model::Operand stringResource(std::string_view text) override;
    model::Operand unlistedStringResource(const qestl::qestringA& text) override;
    model::Operand nameResource(std::string_view text) override;
    model::Operand binaryResource(const uint8_t* data, size_t size) override;
    model::Operand relocationReference(std::string_view name, const model::Operand& nameOperand,
                                       uint32_t hash) override;
    bool sharedModule() const override;
    qestl::SmartPtr arrayTypeOf(const qestl::SmartPtr& element) override;
    void detachAtTeardown(const qestl::SmartPtr& object) override { leftOut_.push_back(object); }

    // ---- classes
    // Enters a finished built-in class (owner empty for a top-level class):
    // id map, global scope or its owner, and the built-in class list.
    void registerBuiltinClass(const qestl::SmartPtr& owner, const qestl::SmartPtr& klass);
    // Enters what registering the built-ins entered into the registry
    // context, in the same order, so that this compilation starts from the
    // state registering them here would have given: the registry's objects
    // are shared, their string resources and lists are this context's own.
    void enterBuiltinsOf(CompileContext& registry);
    // Enters a class compiled from source or made from a template; a package
    // entered twice gives an operand of kind 33.
    model::Operand registerClass(std::string_view name, const qestl::SmartPtr& klass, bool declareInScope,
                                 bool isStatic);
    // The template instances registered so far.
    uint32_t instancesRegistered() const { return instancesRegistered_; }

    // ---- the program's tables, which the image is written from
    ProgramTables& tables() { return tables_; }
    const ProgramTables& tables() const { return tables_; }

    // ---- version texts of the .version document
    std::string fileVersionText() const;
    std::string languageText() const;
    std::string productVersionText() const;
    int64_t productVersionNumber() const;

    // ---- state of single passes, still kept here

    // The state of one pass above codegen, made on first use.
    template <typename State>
    State& passState() {
        std::unique_ptr<PassState>& slot = passStates_[static_cast<size_t>(State::kSlot)];
        if (!slot) slot = std::make_unique<State>();
        return static_cast<State&>(*slot);
    }

private:
    // lookupName's work, written out in lookupNodeName too
    // (codegen/name_lookup.cpp): every identifier asks it.
    [[gnu::always_inline]] inline void lookupNameHere(std::string_view name, const model::NodeHandle& node);
    void deliverError(std::string_view text, const model::NodeHandle& node) override {
        diagnostics_.deliverError(text, node);
    }
    void deliverWarning(uint32_t number, std::string_view text, const model::NodeHandle& node) override {
        diagnostics_.deliverWarning(number, text, node);
    }

    SourceProject project_;
    const CompileOptions* options_ = nullptr;
    CompileDiagnostics diagnostics_{project_};
    NameLookup lookup_;
    CodeEmitter emitter_{lookup_.scopes()};
    ProgramEntry entry_;
    ProgramTables tables_;
    std::array<std::unique_ptr<PassState>, kPassSlotCount> passStates_;
    uint32_t instancesRegistered_ = 0;
    std::vector<qestl::SmartPtr> leftOut_;
    // The holder name registerClass builds, kept between classes: each name
    // outgrew a short string's room, and a program of a million classes
    // allocated and freed one for each.
    std::string holderName_;
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
