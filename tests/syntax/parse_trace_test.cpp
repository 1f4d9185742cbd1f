// The engine's observable behaviour, locked. Every listener call (filtered
// tokens, made and freed records, rule matches with the records they cover,
// bad characters, overflows), the hints left in the window, the end-of-input
// hint and the parse result are folded into one hash per input, over the
// golden sources, the examples, a generated program and damaged copies of
// them. parse_trace.lock holds the hashes recorded from the engine as it
// was before any tuning: a change of speed must leave every one of them as
// it is. KORVO_WRITE_TRACE_LOCK=1 rewrites the file (only for a deliberate
// change of behaviour, reviewed on its own).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/generated_program.h"
#include "syntax/lex_syntax.h"
#include "syntax/rule_ids.h"
#include "syntax/rules.h"
#include "syntax/scanner.h"
#include "syntax/walk_cache.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using syntaxtest::onBigStack;
using syntaxtest::readFile;
using syntaxtest::sourceTree;

class TraceListener : public qeLexSyntax::OnParseListener {
public:
    uint64_t hash = 1469598103934665603ull;
    size_t events = 0;

    void mix(uint64_t value) {
        for (int i = 0; i < 8; ++i) {
            hash ^= (value >> (i * 8)) & 0xff;
            hash *= 1099511628211ull;
        }
    }
    void event(uint32_t code) {
        ++events;
        mix(0xE0000000u | code);
    }
    void mixSet(const RuleSet& set) {
        for (uint32_t word = 0; word < 4; ++word) {
            uint64_t bits = 0;
            for (uint32_t bit = 0; bit < 64; ++bit)
                if (set.test(word * 64 + bit)) bits |= uint64_t{1} << bit;
            mix(bits);
        }
    }
    void mixRecord(const TokenRecord* record) {
        if (!record) {
            mix(~uint64_t{0});
            return;
        }
        mix(record->startOffset);
        mix(record->length);
        mix(static_cast<uint32_t>(record->hint));
        mix(record->span);
        mix(record->fileIndex);
        mix(record->startLine);
        mix(record->startColumn);
        mix(record->endLine);
        mix(record->endColumn);
        mixSet(record->matches);
        mix(record->docComment ? std::strlen(record->docComment) : ~uint64_t{0});
    }

    _KNode<qeAbstractNode>* onRuleMatched(_KNode<qeAbstractNode>* out, qeLexSyntax& engine, int start, int count,
                                          uint32_t ruleId) override {
        event(1);
        mix(ruleId);
        mix(static_cast<uint32_t>(start));
        mix(static_cast<uint32_t>(count));
        mix(engine.errorFlag());
        for (int i = start; i < start + count && i < qeLexSyntax::kWindowSize; ++i) mixRecord(engine.slot(i));
        return out;
    }
    void onBadCharacter(SourceInput* input) override {
        event(2);
        mix(static_cast<uint32_t>(input->offset));
    }
    bool filterToken(SourceInput* input, int32_t length, TokenCode kind, char** doc) override {
        event(3);
        mix(static_cast<uint32_t>(input->offset));
        mix(static_cast<uint32_t>(length));
        mix(kind);
        if (kind == TokenKind::Comment) pending_.append(input->text + input->offset, static_cast<size_t>(length));
        if (kind == TokenKind::Whitespace || kind == TokenKind::Comment) return false;
        if (!pending_.empty() && length > 0) {
            *doc = static_cast<char*>(std::malloc(pending_.size() + 1));
            std::memcpy(*doc, pending_.c_str(), pending_.size() + 1);
            pending_.clear();
        }
        return true;
    }
    TokenRecord* newTokenRecord() override {
        event(4);
        return new TokenRecord();
    }
    void freeTokenRecord(TokenRecord* record) override {
        event(5);
        mixRecord(record);
        if (!record) return;
        std::free(record->docComment);
        delete record;
    }
    void onParseFailed(SourceInput*) override { event(6); }
    void onParseRestarted() override { pending_.clear(); }
    void onLookaheadOverflow(SourceInput* input) override {
        event(7);
        mix(static_cast<uint32_t>(input->offset));
    }

private:
    std::string pending_;
};

struct Trace {
    uint64_t hash;
    size_t events;
};

Trace traceOf(const std::string& text) {
    TraceListener listener;
    qeLexSyntax engine;
    SourceInput input;
    input.setText(text.data(), text.size());
    engine.setEndOfInputHint(SyntaxHint::None);
    engine.attach(&input, &listener, &korvoGrammar());
    uint32_t changed = 0;
    int result = engine.parseRule(RuleId::Entry, 0, changed);
    bool whole = engine.parsedWhole(result);
    listener.event(8);
    listener.mix(static_cast<uint32_t>(result));
    listener.mix(changed);
    listener.mix(whole);
    listener.mix(engine.errorFlag());
    listener.mix(static_cast<uint32_t>(engine.endOfInputHint()));
    listener.mix(static_cast<uint32_t>(input.offset));
    for (int i = 0; i < qeLexSyntax::kWindowSize; ++i) listener.mixRecord(engine.slot(i));
    engine.reset();
    return {listener.hash, listener.events};
}

// The start offsets of the text's tokens, white space and comments included.
std::vector<int32_t> tokenStarts(const std::string& text) {
    std::vector<int32_t> starts;
    int32_t length = static_cast<int32_t>(text.size());
    for (int32_t at = 0; at < length;) {
        TokenCode kind = 0;
        int32_t size = scanner::scanTokenAt(text.data(), length, at, &kind);
        starts.push_back(at);
        at += size > 0 ? size : 1;
    }
    return starts;
}

// Constructs where attempts at one record are repeated most and where a
// failed attempt depends on what surrounds it: nested type arguments and
// the shift they resemble, casts against parenthesised operands, new with a
// class body, calls and subscripts on every kind of primary, deep
// parentheses.
const char* const kCornerProgram = R"~(class Corners<T> : public Base<List<Map<String, List<int>>>> {
    List<Map<String, List<int>>> table = new HashMap<String, List<Map<int, T>>>();
    int f(int a, List<List<T>> b) {
        int x = (int) (a) - (b) * ((c)) + (Foo<Bar>) y.z;
        Object o = new Runnable() { void run() { go((((((a + b)))))); } };
        Object p = new Outer.Inner<List<int>>(1, (2), { 3, 4 }) { int k = 0; };
        int[][] grid = new int[3][4]; int[] w = new int[] { 1, 2, 3 };
        x = a < b ? c > d : e >> f >> g;
        x = (a < b) == (c > d) || (q) + r;
        x = -(int) -x++ + ~(a).d - (Map<int, int>) x;
        x = a.b<c>.d[e].g(f) + new A<B<C>>().h[1].i(j)[k];
        x = (((((((((((((((((((((((((a))))))))))))))))))))))))) + ((((b + c) * d) - e) / f);
        y = (a) < (b) > (c);
        return (T) a.b.c<d, e<f>>(g)[h];
    }
};
)~";

// Statements the grammar refuses (type arguments on a plain call, a
// call on a subscript): failing walks through the same forms.
const char* const kRefusedCorners = R"~(class Refused {
    void f() {
        x = (a < b) == (c > d) && m<n, o>(p) || (q) + r;
        x = -(int) -x++ + ~(a)[b](c).d - (Map<int, int>) (x)[0];
        x = a.b<c>.d[e](f)(g);
    }
};
)~";

// A deterministic mix of the same constructs, nested at random: a generator
// of expressions over casts, generics, calls, subscripts, new, unary and
// binary operators and parentheses.
class ExpressionMix {
public:
    explicit ExpressionMix(uint32_t seed) : state_(seed) {}

    std::string program(int statements) {
        std::string text = "class Mix {\n    void run() {\n";
        for (int i = 0; i < statements; ++i) text += "        x = " + expression(4) + ";\n";
        return text + "    }\n};\n";
    }

private:
    uint32_t next(uint32_t bound) {
        state_ = state_ * 1664525u + 1013904223u;
        return (state_ >> 8) % bound;
    }
    std::string type(int depth) {
        static const char* const names[] = {"int", "T", "List", "a.B"};
        std::string name = names[next(4)];
        if (depth > 0 && next(3) == 0) name += "<" + type(depth - 1) + (next(2) ? ", " + type(depth - 1) : "") + ">";
        if (next(5) == 0) name += "[]";
        return name;
    }
    std::string expression(int depth) {
        static const char* const leaves[] = {"a", "b", "1", "\"s\"", "c.d", "e[0]"};
        static const char* const binaries[] = {" + ", " - ", " * ", " < ", " > ", " >> ", " == ", " && ", " || ",
                                               " & ", " = "};
        if (depth == 0) return leaves[next(6)];
        switch (next(9)) {
        case 0: return "(" + expression(depth - 1) + ")";
        case 1: return "(" + type(2) + ") " + expression(depth - 1);
        case 2: return expression(depth - 1) + binaries[next(11)] + expression(depth - 1);
        case 3: return "f(" + expression(depth - 1) + ", " + expression(depth - 1) + ")";
        case 4: return "new " + type(2) + "(" + expression(depth - 1) + ")" + (next(3) == 0 ? " { int k; }" : "");
        case 5: return expression(depth - 1) + "[" + expression(depth - 1) + "]";
        case 6: return (next(2) ? "-" : "!") + expression(depth - 1) + (next(2) ? "++" : "");
        case 7: return expression(depth - 1) + " ? " + expression(depth - 1) + " : " + expression(depth - 1);
        default: return leaves[next(6)];
        }
    }

    uint32_t state_;
};

// Every input of the lock, by name. Damaged copies (cut short, one token
// left out) take the failing paths where hints are left.
std::map<std::string, std::string> corpus() {
    std::map<std::string, std::string> inputs;
    std::string tree = sourceTree();
    for (const char* folder : {"tests/golden/grammar", "tests/golden/ast", "tests/golden/parse", "examples"}) {
        for (const auto& entry : fs::recursive_directory_iterator(fs::path(tree) / folder)) {
            if (!entry.is_regular_file() || entry.path().extension() != ".k") continue;
            inputs[fs::relative(entry.path(), tree).string()] = readFile(entry.path().string());
        }
    }
    inputs["generated/400"] = benchprogram::generateProgram(400);
    inputs["synthetic/corners"] = kCornerProgram;
    inputs["synthetic/refused"] = kRefusedCorners;
    for (uint32_t seed = 1; seed <= 4; ++seed)
        inputs["synthetic/mix" + std::to_string(seed)] = ExpressionMix(seed).program(12);

    std::map<std::string, std::string> damaged;
    for (const auto& [name, text] : inputs) {
        std::vector<int32_t> starts = tokenStarts(text);
        size_t cuts = std::min<size_t>(starts.size(), 40);
        for (size_t i = 0; i < cuts; ++i) {
            size_t token = starts.size() * i / cuts;
            int32_t at = starts[token];
            int32_t next = token + 1 < starts.size() ? starts[token + 1] : static_cast<int32_t>(text.size());
            damaged[name + "#cut" + std::to_string(at)] = text.substr(0, static_cast<size_t>(at));
            damaged[name + "#drop" + std::to_string(at)] = text.substr(0, static_cast<size_t>(at)) + text.substr(next);
        }
    }
    inputs.insert(damaged.begin(), damaged.end());

    inputs["synthetic/empty"] = "";
    inputs["synthetic/bad-character"] = "int x = 1;\nint y = 2 # 3;\n";
    inputs["synthetic/unreduced"] = [] {
        std::string text;
        for (int i = 0; i < 600; ++i) text += "a ";
        return text;
    }();
    inputs["synthetic/nested"] = std::string(60, '(') + "x" + std::string(60, ')') + ";";
    // Walks longer than the window, written down and given up on the way,
    // with shorter walks inside and after them.
    inputs["synthetic/long-lists"] = [] {
        std::string values = "0", terms = "\"ab\"";
        for (int i = 1; i < 700; ++i) values += ", " + std::to_string(i % 10);
        for (int i = 1; i < 400; ++i) terms += " + \"ab\"";
        return "class A {\n    static int f() {\n        int[] a = {" + values + "};\n        String s = " + terms +
               ";\n        a[1] = a[2] + 3;\n        return a[0];\n    }\n};\n";
    }();
    inputs["synthetic/operators"] = "x = a || b && c | d ^ e & f == g != h < i <= j > k >= l << m >> n + o - p * q / r % s;\n"
                                    "y = -a++ + !b-- - ~c * (int) d ? e : f;\n";
    return inputs;
}

std::string lockPath() { return sourceTree() + "/tests/syntax/parse_trace.lock"; }

std::map<std::string, std::string> readLock() {
    std::map<std::string, std::string> lock;
    std::string text = readFile(lockPath());
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        size_t first = line.find(' ');
        if (first != std::string::npos) lock[line.substr(0, first)] = line.substr(first + 1);
        at = end + 1;
    }
    return lock;
}

uint64_t textHash(const std::string& text) {
    uint64_t hash = 1469598103934665603ull;
    for (char c : text) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return hash;
}

std::string hex(uint64_t value) {
    char buffer[20];
    std::snprintf(buffer, sizeof buffer, "%016llx", static_cast<unsigned long long>(value));
    return buffer;
}

}  // namespace

TEST(ParseTrace, EveryInputBehavesAsRecorded) {
    std::map<std::string, std::string> inputs = corpus();
    ASSERT_GT(inputs.size(), 1000u);  // the corpus was found
    // One line per source: the source and its damaged copies folded together,
    // which keeps the lock small and still says where a difference lies. The
    // hash of the source's own text tells an edited source (whose trace may
    // differ for good reason) from a changed engine.
    std::map<std::string, Trace> groups;
    std::map<std::string, uint64_t> sources;
    onBigStack([&] {
        for (const auto& [name, text] : inputs) {
            Trace trace = traceOf(text);
            std::string source = name.substr(0, name.find('#'));
            Trace& group = groups.try_emplace(source, Trace{0, 0}).first->second;
            group.hash = (group.hash ^ trace.hash) * 1099511628211ull + name.size();
            group.events += trace.events;
            if (source == name) sources[source] = textHash(text);
        }
    });
    std::map<std::string, std::string> actual;
    for (const auto& [name, trace] : groups)
        actual[name] = hex(sources[name]) + " " + hex(trace.hash) + ":" + std::to_string(trace.events);

    if (const char* write = std::getenv("KORVO_WRITE_TRACE_LOCK"); write && std::strcmp(write, "1") == 0) {
        std::FILE* file = std::fopen(lockPath().c_str(), "wb");
        ASSERT_NE(file, nullptr);
        for (const auto& [name, value] : actual) std::fprintf(file, "%s %s\n", name.c_str(), value.c_str());
        std::fclose(file);
        GTEST_SKIP() << "lock rewritten";
    }

    std::map<std::string, std::string> lock = readLock();
    int compared = 0;
    int differing = 0;
    for (const auto& [name, value] : actual) {
        auto found = lock.find(name);
        // A source added or edited since the lock was recorded proves nothing.
        if (found == lock.end() || found->second.substr(0, 16) != value.substr(0, 16)) continue;
        ++compared;
        if (found->second == value) continue;
        ++differing;
        ADD_FAILURE() << name << ": trace " << value.substr(17) << ", recorded " << found->second.substr(17);
    }
    EXPECT_EQ(differing, 0);
    EXPECT_GE(compared, 40);  // most of the recorded sources are still there to compare
}

// The hash sees what it must: a change of one rule match, one hint or one
// position gives another value.
TEST(ParseTrace, TheHashSeesSmallDifferences) {
    Trace base = traceOf("int x = 1;\n");
    EXPECT_EQ(traceOf("int x = 1;\n").hash, base.hash);
    EXPECT_NE(traceOf("int x = 12;\n").hash, base.hash);  // a longer token
    EXPECT_NE(traceOf("int x = 1; \n").hash, base.hash);  // one more blank
    EXPECT_NE(traceOf("int x = 1\n").hash, base.hash);    // a failure and its hints
}

namespace {

// What the listener sees of the matches: each rule match with the records it
// covers, then the result and the window the parse leaves.
// Hints are left out: a speculative parse leaves none that anybody reads.
class MatchLog : public TraceListener {
public:
    std::vector<uint64_t> matches;  // one hash per match
    void mixShape(const TokenRecord* record) {
        if (!record) {
            mix(~uint64_t{0});
            return;
        }
        for (uint32_t value : {record->startOffset, record->length, record->span, record->fileIndex, record->startLine,
                               record->startColumn, record->endLine, record->endColumn})
            mix(value);
        mixSet(record->matches);
        mix(record->docComment ? std::strlen(record->docComment) : ~uint64_t{0});
    }
    _KNode<qeAbstractNode>* onRuleMatched(_KNode<qeAbstractNode>* out, qeLexSyntax& engine, int start, int count,
                                          uint32_t ruleId) override {
        hash = 1469598103934665603ull;
        mix(ruleId);
        mix(static_cast<uint32_t>(start));
        mix(static_cast<uint32_t>(count));
        for (int i = start; i < start + count && i < qeLexSyntax::kWindowSize; ++i) mixShape(engine.slot(i));
        matches.push_back(hash);
        return out;
    }
    void onParseRestarted() override {
        TraceListener::onParseRestarted();
        restarts.push_back(matches.size());
    }
    std::vector<size_t> restarts;  // matches seen before each restart
};

struct FastOutcome {
    bool whole;
    std::vector<uint64_t> matches;
    std::vector<size_t> restarts;
    uint64_t window;  // the records left, hints included
    uint64_t shape;   // the same without hints
};

FastOutcome parseWithPath(qeLexSyntax& engine, const std::string& text, WalkCache* fast) {
    MatchLog log;
    SourceInput input;
    input.setText(text.data(), text.size());
    engine.setEndOfInputHint(SyntaxHint::None);
    engine.setFastPath(fast, korvoCachedWalks());
    engine.attach(&input, &log, &korvoGrammar());
    const bool whole = engine.parseText(RuleId::Entry);
    log.hash = 1469598103934665603ull;
    for (int i = 0; i < qeLexSyntax::kWindowSize; ++i) log.mixShape(engine.slot(i));
    const uint64_t shape = log.hash;
    for (int i = 0; i < qeLexSyntax::kWindowSize; ++i) log.mixRecord(engine.slot(i));
    log.mix(static_cast<uint32_t>(engine.endOfInputHint()));
    engine.reset();
    return {whole, log.matches, log.restarts, log.hash, shape};
}

}  // namespace

// The fast path replays cached walks in a speculative parse. Where that parse
// succeeds it must have made every match the engine makes, in its order, over
// the same records; where it fails, the run that follows must be the engine's
// own, hints and all. One engine keeps its walk cache over the whole corpus,
// as a compile over many files does.
TEST(ParseTrace, FastPathMakesTheEnginesMatches) {
    std::map<std::string, std::string> inputs = corpus();
    qeLexSyntax fast;
    qeLexSyntax exact;
    const auto walks = std::make_unique<WalkCache>();
    size_t replayed = 0;
    onBigStack([&] {
        for (const auto& [name, text] : inputs) {
            FastOutcome reference = parseWithPath(exact, text, nullptr);
            FastOutcome outcome = parseWithPath(fast, text, walks.get());
            ASSERT_EQ(outcome.whole, reference.whole) << name;
            EXPECT_EQ(outcome.shape, reference.shape) << name;
            if (outcome.restarts.empty()) {
                EXPECT_TRUE(outcome.whole) << name;
                EXPECT_EQ(outcome.matches, reference.matches) << name;
                ++replayed;
                continue;
            }
            ASSERT_EQ(outcome.restarts.size(), 1u) << name;
            EXPECT_FALSE(outcome.whole) << name;
            std::vector<uint64_t> second(outcome.matches.begin() + static_cast<std::ptrdiff_t>(outcome.restarts[0]),
                                         outcome.matches.end());
            EXPECT_EQ(second, reference.matches) << name;
            EXPECT_EQ(outcome.window, reference.window) << name;
        }
    });
    EXPECT_GT(replayed, 100u);
    ASSERT_EQ(fast.walkCache(), walks.get());
    EXPECT_GT(walks->walkCount(), 50u);
}
