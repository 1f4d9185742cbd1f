// Diagnostics held back: the capture of a tried alternative, whose messages
// reach the user only when the alternative is chosen, and the errors the
// declaration pass defers until it has settled (one per syntax node).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "codegen/near_misses.h"
#include "foundation/qestring.h"
#include "source/node.h"

class CompileDiagnostics;
struct Diagnostic;

struct DiagnosticCapture {
    // Installs the capture as the active one; the active one becomes its
    // parent.
    void begin(CompileDiagnostics& diagnostics);
    void appendError(std::string_view text);
    // Copies every field of another capture.
    void assign(const DiagnosticCapture& other) { *this = other; }
    // The alternative was chosen: its errors go on as errors, its warnings
    // as one node-less warning 365.
    void report(CompileDiagnostics& diagnostics);
    // Reinstalls the parent and hands the texts up to it as prefixes.
    void close(CompileDiagnostics& diagnostics);
    // Reinstalls the parent; the texts stay here, unheard.
    void detach(CompileDiagnostics& diagnostics);

    qestl::qestringA errorText;
    qestl::qestringA warningText;
    uint8_t hasError = 0;
    uint8_t hasWarning = 0;
    uint8_t closed = 0;
    DiagnosticCapture* parent = nullptr;
    qestl::qestringA errorPrefix;
    qestl::qestringA warningPrefix;
};

class DeferredDiagnostics {
public:
    // A chain of a million classes written subclass first defers a million
    // errors in one run, and nearly all go away: an entry is three words,
    // its text and near misses kept in the holder's pools.
    struct Entry {
        _KNode<qeAbstractNode> node;
        // A message that ends with the similar names it offers (its one
        // argument): they are listed only if it is reported, since most
        // deferred errors go away on a later run and listing them costs a
        // scan of the scope. Null for a message given as text.
        const Diagnostic* suggesting = nullptr;
        // The text's bytes in the text pool; for a suggesting message its
        // noted places (or, at kWholeList, the index of a whole list).
        uint32_t at = 0;
        uint32_t count = 0;
    };

    // Counts the error as unsettled and keeps the entry unless its node
    // already carries a deferred message; marks the node. Node-less entries
    // are always kept.
    void add(std::string_view text, const _KNode<qeAbstractNode>& node);
    // The same for a message listing the near misses, made when it is
    // reported.
    void addSuggesting(const Diagnostic& entry, const _KNode<qeAbstractNode>& node,
                       const codegen::NearMissList& suggestions);
    // Forgets every entry and both counts (a new declaration run starts).
    void clear();
    const std::vector<Entry>& entries() const { return entries_; }
    // Loads ahead where the near misses of the entry will be listed from
    // (codegen/deferred_look_ahead.h).
    void prefetchSuggestionsOf(const Entry& entry) const;
    std::string_view textOf(const Entry& entry) const { return std::string_view(texts_).substr(entry.at, entry.count); }
    // The near misses as they were noted, for a suggesting entry.
    codegen::NearMissList suggestionsOf(const Entry& entry) const;

    // What the running pass declared: anything makes the run go again.
    void noteDeclared() { ++declared_; }
    uint32_t declared() const { return declared_; }
    void setDeclared(uint32_t count) { declared_ = count; }
    // The errors deferred by the running pass, and items that wait without
    // one of their own.
    void noteUnsettled(uint32_t count) { unsettled_ += count; }
    uint32_t unsettled() const { return unsettled_; }
    // A pass over again: both counts from zero.
    void restartCounts() { declared_ = unsettled_ = 0; }

    // A scope declared within another one: its counts start from zero and
    // go to the outer scope's when it is done.
    class NestedScope {
    public:
        explicit NestedScope(DeferredDiagnostics& deferred)
            : deferred_(deferred), declared_(deferred.declared_), unsettled_(deferred.unsettled_) {
            deferred_.restartCounts();
        }
        ~NestedScope() {
            deferred_.declared_ += declared_;
            deferred_.unsettled_ += unsettled_;
        }
        NestedScope(const NestedScope&) = delete;
        NestedScope& operator=(const NestedScope&) = delete;

    private:
        DeferredDiagnostics& deferred_;
        uint32_t declared_, unsettled_;
    };

private:
    uint32_t declared_ = 0;
    uint32_t unsettled_ = 0;
    // A node that carries a deferred message has its DeclarationMark set,
    // from the entry's making until it is reported or cleared: a chain of a
    // million classes written subclass first defers a million errors in one
    // run, and a table of the marked nodes missed the caches at each.
    std::vector<Entry> entries_;
    std::string texts_;
    struct Noted {
        model::Container* container;
        uint32_t nameAt;
        uint32_t nameLength;
        uint32_t number;  // the name's failed-name number
        uint32_t memberCount;
    };
    static constexpr uint32_t kWholeList = UINT32_MAX;
    std::vector<Noted> noted_;
    std::string notedNames_;
    // Lists that hold near misses listed already (rare).
    std::vector<codegen::NearMissList> wholeLists_;
};
