// The errors and warnings of one compilation: their counts, the filters a
// warning passes, the capture that holds back a tried alternative's
// messages, the errors the declaration pass defers, and the position prefix
// every message starts with. Nothing else prints a diagnostic.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "codegen/diagnostic_capture.h"
#include "codegen/reported_once.h"
#include "source/node.h"

struct CompileOptions;
struct Diagnostic;
class SourceProject;

class CompileDiagnostics {
public:
    explicit CompileDiagnostics(const SourceProject& project) : project_(project) {}
    CompileDiagnostics(const CompileDiagnostics&) = delete;
    CompileDiagnostics& operator=(const CompileDiagnostics&) = delete;

    // The warning filters of the run (not owned); seeds the suppression.
    void setOptions(const CompileOptions* options);
    // Forgets the deferred and once-reported errors; counts stay.
    void reset();

    // A formatted message, printed or held by the capture.
    void deliverError(std::string_view text, const _KNode<qeAbstractNode>& node);
    void deliverWarning(uint32_t code, std::string_view text, const _KNode<qeAbstractNode>& node);
    // Advice at a node (never empty), printed unless warnings are
    // suppressed there; counted as nothing.
    void reportTip(const Diagnostic& entry, const _KNode<qeAbstractNode>& node);
    void deferError(std::string_view text, const _KNode<qeAbstractNode>& node);
    // An error that a pass revisiting the node would report again: printed
    // once per node and text, whichever pass meets it first.
    void reportErrorOnce(std::string_view text, const _KNode<qeAbstractNode>& node);
    DeferredDiagnostics& deferred() { return deferred_; }

    // Counts an error without printing one (into the capture when one is
    // active).
    void countError();
    // Errors counted at this level (a capture's are not).
    uint32_t errorCount() const { return errors_; }
    // Whether the active capture, or else this level, holds an error. Inline:
    // asked after nearly every step of an expression.
    bool hasErrors() const { return capture_ != nullptr ? capture_->hasError != 0 : errors_ != 0; }
    // Levels whose errors are put aside while a child compiles.
    uint32_t levelsPutAside() const { return levelsPutAside_; }

    std::string sourceName(const _KNode<qeAbstractNode>& node) const;
    std::string sourceExcerpt(const _KNode<qeAbstractNode>& node) const;

    DiagnosticCapture* activeCapture() const { return capture_; }
    bool warningsSuppressed() const { return suppression_ != 0; }

    // A child compiled as though no error had been counted: the count this
    // level held is put aside for the child and given back after it. Each
    // level keeps its own, so a nested level never gives back (or takes) an
    // outer level's count.
    class ErrorsPutAside {
    public:
        explicit ErrorsPutAside(CompileDiagnostics& diagnostics);
        ~ErrorsPutAside();
        ErrorsPutAside(const ErrorsPutAside&) = delete;
        ErrorsPutAside& operator=(const ErrorsPutAside&) = delete;

    private:
        CompileDiagnostics& diagnostics_;
        const bool putAside_;
    };

    // No warning is printed while one is alive (and counts some levels).
    class SuppressWarnings {
    public:
        explicit SuppressWarnings(CompileDiagnostics& diagnostics, uint32_t levels = 1);
        ~SuppressWarnings();
        SuppressWarnings(const SuppressWarnings&) = delete;
        SuppressWarnings& operator=(const SuppressWarnings&) = delete;

    private:
        CompileDiagnostics& diagnostics_;
        const uint32_t levels_;
    };

    // The warnings of a library unit are printed only under -lw; the unit
    // counts as nested until `end` (or its end of scope).
    class NestedUnit {
    public:
        explicit NestedUnit(CompileDiagnostics& diagnostics, bool active = true);
        ~NestedUnit() { end(); }
        NestedUnit(const NestedUnit&) = delete;
        NestedUnit& operator=(const NestedUnit&) = delete;
        void end();

    private:
        CompileDiagnostics& diagnostics_;
        bool active_;
    };

private:
    friend struct DiagnosticCapture;

    // A finished message: printed and counted, or held by the capture.
    void logError(std::string_view message);
    // The node's file path, narrowed; "<未知的源文件>" when it has none.
    std::string_view pathName(const qeAbstractNode& node) const;
    // "<path>(行:L, 字:C[, :N]) <label>" and the empty line after it.
    void appendHeading(std::string& message, const qeAbstractNode& node, std::string_view label) const;

    const SourceProject& project_;
    const CompileOptions* options_ = nullptr;
    uint32_t errors_ = 0;
    uint32_t levelsPutAside_ = 0;
    uint32_t nestedUnits_ = 0;
    uint32_t suppression_ = 0;
    DiagnosticCapture* capture_ = nullptr;
    DeferredDiagnostics deferred_;
    // Node and text of every error reported once.
    codegen::ReportedOnce reportedOnce_;
    // Narrowed file paths by file index (empty until asked for).
    mutable std::vector<std::string> narrowedPaths_;
};
