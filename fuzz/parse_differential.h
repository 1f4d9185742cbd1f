// The differential check of the parser: one source parsed by the reference
// engine (the grammar translated from its rule tables, every attempt walked as
// the protocol says) and by the parser the compiler runs must give the same
// syntax tree (every field of every node, dumped), the same messages and the
// same static-library bytes. Shared by the differential test and fuzz target.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "foundation/logger.h"
#include "foundation/path.h"
#include "foundation/stream.h"
#include "image/static_library.h"
#include "options/compile_options.h"
#include "source/source_processor.h"
#include "source/source_project.h"
#include "syntax/rules.h"
#include "syntax/scanner.h"
#include "tests/probe/ast_print.h"

namespace parse_differential {

struct Outcome {
    int status = -1;
    std::string tree;      // every field of every node, serials as their rank
    std::string messages;  // what the parse logged, in order
    std::vector<uint8_t> library;
};

inline bool operator==(const Outcome& a, const Outcome& b) {
    return a.status == b.status && a.tree == b.tree && a.messages == b.messages && a.library == b.library;
}

// Collects what the processor logs while a parse runs.
class MessageSink final : public qestl::qelogcat_stream {
public:
    std::string* into = nullptr;
    int write(uint32_t, const char* text, uint32_t length) override {
        if (into != nullptr) into->append(text, length);
        return static_cast<int>(length);
    }
};

inline MessageSink& messageSink() {
    static MessageSink sink;
    static bool added = [] {
        logcatSetUp();
        logcatAddSink(&sink);
        return true;
    }();
    (void)added;
    return sink;
}

class TreeDump {
public:
    std::string text;

    void node(const qeAbstractNode* n, int depth) {
        text.append(static_cast<size_t>(depth), ' ');
        if (n == nullptr) {
            text += "_\n";
            return;
        }
        const NodeExtras& extras = n->extras();
        char head[512];
        std::snprintf(head, sizeof head, "k%u f%u file%u %u:%u-%u:%u text%u-%u serial%u inc%u lvl%u own%d ", n->kind,
                      n->flags, n->fileIndex, n->startLine, n->startColumn, n->endLine, n->endColumn, n->textStart,
                      n->textEnd, rank(n->serial), n->includedUnit, n->unitLevel, n->owner() != nullptr);
        text += head;
        text += ast_print::quoted(n->text.view());
        text += " doc=";
        text += ast_print::quoted(extras.docComment.view());
        text += " idx" + std::to_string(extras.operandIndices.size()) + ":" + std::to_string(extras.childIndices.size());
        text += "\n";
        if (n->annotations()) {
            text.append(static_cast<size_t>(depth), ' ');
            text += "@\n";
            node(n->annotations().get(), depth + 1);
        }
        for (const auto& operand : n->operands) node(operand.get(), depth + 1);
        text.append(static_cast<size_t>(depth), ' ');
        text += "|\n";
        for (const auto& child : n->children) node(child.get(), depth + 1);
    }

    // Serials count every node ever made, so they differ between two parses
    // of one process; their order within the tree is what callers may use.
    void rankSerials(const qeAbstractNode* n) {
        if (n == nullptr) return;
        ranks_[n->serial] = 0;
        rankSerials(n->annotations().get());
        for (const auto& operand : n->operands) rankSerials(operand.get());
        for (const auto& child : n->children) rankSerials(child.get());
    }
    void numberRanks() {
        uint32_t next = 0;
        for (auto& entry : ranks_) entry.second = next++;
    }

private:
    uint32_t rank(uint32_t serial) const {
        auto found = ranks_.find(serial);
        return found == ranks_.end() ? ~0u : found->second;
    }
    std::map<uint32_t, uint32_t> ranks_;
};

// The grammar translated from its rule tables with every shortcut off.
inline const Grammar& referenceGrammar() {
    static Grammar grammar;
    static bool built = [] {
        if (!buildKorvoGrammar(grammar)) return false;
        grammar.setShortcuts(false);
        return true;
    }();
    if (!built) std::abort();
    return grammar;
}

// Parses the file at `path` as a project of one source, as `-lik` does.
inline Outcome parseFile(const std::string& path, bool reference) {
    Outcome outcome;
    MessageSink& sink = messageSink();
    sink.into = &outcome.messages;
    {
        CompileOptions options;
        qestl::qestringW wide = qestl::widen(path.c_str());
        qestl::normaliseWidePath(wide);
        options.sourceFiles.pushBack(wide);
        SourceProject project;
        qeSourceProcessor processor;
        processor.setGrammar(reference ? &referenceGrammar() : nullptr);
        std::fflush(stdout);
        outcome.status = processor.parseProject(project, options);
        if (project.root) {
            TreeDump dump;
            dump.rankSerials(project.root.get());
            dump.numberRanks();
            dump.node(project.root.get(), 0);
            outcome.tree = std::move(dump.text);
            qestl::WStringVector paths;
            for (uint32_t i = 0; i < project.fileCount(); ++i) paths.pushBack(project.filePath(i));
            qestl::qeByteStream out;
            if (writeStaticLibrary(out, paths, project.root))
                outcome.library.assign(out.data(), out.data() + out.size());
        }
    }
    sink.into = nullptr;
    return outcome;
}

// Both parsers over one file; empty when they agree, else what differs first.
inline std::string compareFile(const std::string& path) {
    Outcome reference = parseFile(path, true);
    Outcome production = parseFile(path, false);
    if (reference.status != production.status)
        return "status " + std::to_string(reference.status) + " vs " + std::to_string(production.status);
    if (reference.messages != production.messages)
        return "messages:\n" + reference.messages + "\nvs\n" + production.messages;
    if (reference.tree != production.tree) return "trees differ:\n" + reference.tree + "\nvs\n" + production.tree;
    if (reference.library != production.library) return "static-library bytes differ";
    return std::string();
}

// The token boundaries of a text, for mutations that cut, duplicate and swap
// whole tokens (a mutated text stays close to what people write).
inline std::vector<int32_t> tokenStarts(const std::string& text) {
    std::vector<int32_t> starts;
    const int32_t length = static_cast<int32_t>(text.size());
    for (int32_t offset = 0; offset < length;) {
        starts.push_back(offset);
        TokenCode kind = 0;
        int32_t step = scanner::scanTokenAt(text.data(), length, offset, &kind);
        if (step <= 0) break;
        offset += step;
    }
    starts.push_back(length);
    return starts;
}

// One mutation chosen by `seed`: 0 cuts a token range, 1 duplicates one in
// place, 2 swaps two neighbouring ranges.
inline std::string mutate(const std::string& text, const std::vector<int32_t>& starts, uint64_t seed) {
    if (starts.size() < 3) return text;
    auto next = [&seed] {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<size_t>(seed >> 33);
    };
    const size_t tokens = starts.size() - 1;
    const size_t first = next() % tokens;
    const size_t count = 1 + next() % 6;
    const size_t last = first + count < tokens ? first + count : tokens;
    const size_t from = static_cast<size_t>(starts[first]), to = static_cast<size_t>(starts[last]);
    switch (next() % 3) {
    case 0: return text.substr(0, from) + text.substr(to);
    case 1: return text.substr(0, to) + text.substr(from, to - from) + text.substr(to);
    default: {
        const size_t end = last + count < tokens ? last + count : tokens;
        const size_t stop = static_cast<size_t>(starts[end]);
        return text.substr(0, from) + text.substr(to, stop - to) + text.substr(from, to - from) + text.substr(stop);
    }
    }
}

}  // namespace parse_differential
