// korvo-probe tokens FILE|-: every token of a text as the scanner sees it,
// white space and comments included: kind, line:column (0-based), text.
#include <cstdio>
#include <cstring>
#include <string>

#include "probe.h"
#include "syntax/lex_syntax.h"

namespace {

// Keeps every token, so the probe shows what the parse listener would filter.
class KeepAll : public qeLexSyntax::OnParseListener {
public:
    _KNode<qeAbstractNode>* onRuleMatched(_KNode<qeAbstractNode>* out, qeLexSyntax&, int, int, uint32_t) override {
        return out;
    }
    void onBadCharacter(SourceInput* input) override {
        unsigned char byte = static_cast<unsigned char>(input->text[input->offset]);
        std::printf("error %u:%u \\x%02x\n", input->line, input->column, byte);
    }
    bool filterToken(SourceInput*, int32_t, TokenCode, char**) override { return true; }
    TokenRecord* newTokenRecord() override { return new TokenRecord(); }
    void freeTokenRecord(TokenRecord* record) override { delete record; }
    void onParseFailed(SourceInput*) override {}
    void onLookaheadOverflow(SourceInput*) override {}
};

std::string escaped(const char* text, uint32_t length) {
    std::string out;
    for (uint32_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '\t') out += "\\t";
        else if (c == '\\') out += "\\\\";
        else if (c < 0x20 || c == 0x7f) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\x%02x", c);
            out += buffer;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

int tokensCommand(int argc, char** argv) {
    if (argc != 1) {
        std::fprintf(stderr, "usage: korvo-probe tokens FILE|-\n");
        return 2;
    }
    std::string text;
    if (!probe::readInput(argv[0], text)) {
        std::fprintf(stderr, "cannot read %s\n", argv[0]);
        return 1;
    }
    SourceInput input;
    if (!input.setText(text.data(), text.size())) {
        std::fprintf(stderr, "text too long\n");
        return 1;
    }
    KeepAll listener;
    qeLexSyntax engine;
    engine.attach(&input, &listener, nullptr);
    for (;;) {
        TokenRecord* record = engine.nextToken();
        if (!record) return 1;
        bool end = record->length == 0;
        if (!end) {
            TokenCode kind = 0;
            for (TokenCode k = TokenKind::First; k <= TokenKind::Last; ++k)
                if (record->matches.test(k)) kind = k;
            std::printf("%u %u:%u %s\n", kind, record->startLine, record->startColumn,
                        escaped(text.data() + record->startOffset, record->length).c_str());
        }
        listener.freeTokenRecord(record);
        if (end) return 0;
    }
}

}  // namespace

KORVO_PROBE("tokens", "FILE|-", tokensCommand);
