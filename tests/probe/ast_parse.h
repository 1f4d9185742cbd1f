// Parses korvo into syntax trees, for probes and tests.
//
// parseFiles runs the compiler's own project parse (the source processor with
// its includes, doc comments and error messages) over files. TreeParser parses
// a text held in memory with the real grammar and node builders behind a
// listener of its own that keeps tokens and doc comments as the processor
// does but reads no included files; the builders' unit tests use it.
#pragma once

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "driver/compile_options.h"
#include "foundation/logger.h"
#include "foundation/path.h"
#include "source/rule_table.h"
#include "source/source_processor.h"
#include "source/source_project.h"
#include "syntax/lex_syntax.h"
#include "syntax/rule_ids.h"
#include "syntax/rules.h"

namespace ast_parse {

// The compilation unit parsed from each file, in order, as the compiler would
// parse them into one project; the processor's messages go to standard output.
// False when the project parse failed.
inline bool parseFiles(const std::vector<std::string>& files, std::vector<_KNode<qeAbstractNode>>& units) {
    static qeCompilerLogcat console;
    static bool started = false;
    if (!started) {
        logcatSetUp();
        logcatAddSink(&console);
        started = true;
    }
    CompileOptions options;
    for (const std::string& file : files) {
        qestl::qestringW path = qestl::widen(file.c_str());
        qestl::normaliseWidePath(path);
        options.sourceFiles.pushBack(path);
    }
    SourceProject project;
    qeSourceProcessor processor;
    units.clear();
    if (processor.parseProject(project, options) != kParsed || !project.root) return false;
    // The root is the first file's unit; the later units are its children,
    // after its own compilation unit.
    const qeAbstractNode& root = *project.root;
    for (size_t i = 0; i < root.children.size(); ++i) {
        const _KNode<qeAbstractNode>& child = root.children[i];
        if (i == 0) {
            units.push_back(child);
        } else if (child && !child->children.empty()) {
            units.push_back(child->children[0]);
        }
    }
    return true;
}

class TreeParser : public qeLexSyntax::OnParseListener, public BuildHost {
public:
    ~TreeParser() { engine_.reset(); }

    // The tree of a whole text; false (and `errors` filled) when it does not parse.
    bool parse(std::string_view text, _KNode<qeAbstractNode>& unit) {
        unit.reset();
        errors.clear();
        failed_ = false;
        pending_.clear();
        engine_.reset();
        input_ = SourceInput{};
        if (!input_.setText(text.data(), text.size())) return false;
        engine_.setEndOfInputHint(-1);
        engine_.attach(&input_, this, &korvoGrammar());
        bool whole = engine_.parseText(RuleId::Entry);
        if (whole && !failed_ && engine_.slot(0)) unit = engine_.slot(0)->node;
        engine_.reset();
        if (!whole && errors.empty()) errors.push_back("syntax error");
        return whole && !failed_;
    }

    std::vector<std::string> errors;
    std::vector<qestl::qestringA> fragments;
    std::vector<uint32_t> includes;  // rule ids of the include and require directives met

    _KNode<qeAbstractNode>* onRuleMatched(_KNode<qeAbstractNode>* out, qeLexSyntax& engine, int start, int count,
                                          uint32_t ruleId) override {
        out->reset();
        if (engine.errorFlag() || failed_) return out;
        std::vector<TokenRecord*> records;
        for (int i = start; i < start + count; ++i) records.push_back(engine.slot(i));
        if (buildRuleMatch(*this, *out, records.data(), count, ruleId) != RuleAction::Built) includes.push_back(ruleId);
        return out;
    }
    void onBadCharacter(SourceInput* input) override {
        errors.push_back("bad character at " + position(input->line, input->column));
    }
    bool filterToken(SourceInput* input, int32_t length, TokenCode kind, char** docComment) override {
        if (kind == TokenKind::Comment) {
            pending_.append(input->text + input->offset, static_cast<size_t>(length));
            return false;
        }
        if (kind == TokenKind::Whitespace) return false;
        *docComment = nullptr;
        if (!pending_.empty()) {
            *docComment = static_cast<char*>(std::malloc(pending_.size() + 1));
            std::memcpy(*docComment, pending_.c_str(), pending_.size() + 1);
            pending_.clear();
        }
        return true;
    }
    TokenRecord* newTokenRecord() override { return new TokenRecord(); }
    void freeTokenRecord(TokenRecord* record) override {
        if (!record) return;
        std::free(record->docComment);
        delete record;
    }
    void onParseFailed(SourceInput*) override {}
    void onLookaheadOverflow(SourceInput*) override { errors.push_back("lookahead overflow"); }

    uint32_t fileIndex() const override { return 0; }
    void reportBuildError(const char* message, uint32_t line, uint32_t column) override {
        errors.push_back(position(line, column) + " " + message);
        failed_ = true;
    }
    const qestl::qestringA* htmlFragment(size_t index) const override {
        return index < fragments.size() ? &fragments[index] : nullptr;
    }

private:
    static std::string position(uint32_t line, uint32_t column) {
        return "(" + std::to_string(line + 1) + ":" + std::to_string(column + 1) + ")";
    }

    qeLexSyntax engine_;
    SourceInput input_;
    std::string pending_;
    bool failed_ = false;
};

}  // namespace ast_parse
