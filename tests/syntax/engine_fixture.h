// A parse listener for engine tests: drops white space and comments, keeps
// the comments before a token as its doc comment, logs every match and
// builds a small bracketed tree so that grouping can be read back as text.
#pragma once

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "syntax/grammar.h"
#include "syntax/lex_syntax.h"

class qeAbstractNode : public refableAstBase {
public:
    std::string text;
};

// This test's node holds no other nodes.
refableAstBase* dropNextNodeReference(refableAstBase*, uint64_t&, bool& finished) {
    finished = true;
    return nullptr;
}

void destroyNodeObject(refableAstBase* node) { static_cast<qeAbstractNode*>(node)->~qeAbstractNode(); }

namespace enginetest {

inline _KNode<qeAbstractNode> makeNode(const std::string& text) {
    void* block = allocateNodeBlock(sizeof(qeAbstractNode));
    auto* node = new (block) qeAbstractNode();
    node->text = text;
    LiveNodeRegistry::insert(node);
    return _KNode<qeAbstractNode>(node);
}

struct Match {
    uint32_t rule;
    int start;
    int count;
    bool operator==(const Match&) const = default;
};

class Listener : public qeLexSyntax::OnParseListener {
public:
    std::vector<Match> matches;
    int badCharacters = 0;
    int overflows = 0;
    int failures = 0;
    int liveRecords = 0;
    std::string pendingDoc;
    bool bracketText = true;  // off for long inputs: the texts grow quadratically
    bool skipsWhitespace = false;

    _KNode<qeAbstractNode>* onRuleMatched(_KNode<qeAbstractNode>* out, qeLexSyntax& engine, int start, int count,
                                          uint32_t rule) override {
        matches.push_back({rule, start, count});
        std::string text;
        for (int i = start; bracketText && i < start + count; ++i) {
            TokenRecord* record = engine.slot(i);
            if (!text.empty()) text += ' ';
            if (record->node) text += record->node->text;
            else text.append(engine.input()->text + record->startOffset, record->length);
        }
        *out = makeNode(count > 1 ? "(" + text + ")" : text);
        return out;
    }
    void onBadCharacter(SourceInput*) override { ++badCharacters; }
    bool filterToken(SourceInput* input, int32_t length, TokenCode kind, char** doc) override {
        if (kind == TokenKind::Comment) pendingDoc.append(input->text + input->offset, static_cast<size_t>(length));
        if (kind == TokenKind::Whitespace || kind == TokenKind::Comment) return false;
        if (!pendingDoc.empty() && length > 0) {
            *doc = static_cast<char*>(std::malloc(pendingDoc.size() + 1));
            std::memcpy(*doc, pendingDoc.c_str(), pendingDoc.size() + 1);
            pendingDoc.clear();
        }
        return true;
    }
    bool dropsWhitespace() const override { return skipsWhitespace; }
    TokenRecord* newTokenRecord() override {
        ++liveRecords;
        return new TokenRecord();
    }
    void freeTokenRecord(TokenRecord* record) override {
        if (!record) return;
        --liveRecords;
        std::free(record->docComment);
        delete record;
    }
    void onParseFailed(SourceInput*) override { ++failures; }
    void onLookaheadOverflow(SourceInput*) override { ++overflows; }

    int matchesOf(uint32_t rule) const {
        int n = 0;
        for (const Match& match : matches) n += match.rule == rule;
        return n;
    }
};

// One parse of a text against a grammar given as table rows.
class Parse {
public:
    Parse(std::vector<GrammarRuleRow> rules, const std::string& text) : text_(text) {
        built = grammar.addRules(rules.data(), rules.size()) && grammar.build();
        input.setText(text_.data(), text_.size());
        engine.attach(&input, &listener, &grammar);
    }
    ~Parse() { engine.reset(); }

    bool run(uint32_t entry) {
        uint32_t changed = 0;
        result = engine.parseRule(entry, 0, changed);
        return engine.parsedWhole(result);
    }
    std::string tree() {
        TokenRecord* first = engine.slot(0);
        return first && first->node ? first->node->text : "";
    }

    Grammar grammar;
    bool built = false;
    std::string text_;
    SourceInput input;
    Listener listener;
    qeLexSyntax engine;
    int result = -2;
};

}  // namespace enginetest
