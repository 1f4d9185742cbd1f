// The parse listener of the syntax engine: filters tokens, gathers doc
// comments, reports scanner and grammar failures in the compiler's error form
// and hands rule matches to the node builders. It also reads source files
// into the project, translates server pages and follows include directives.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/qestring.h"
#include "foundation/vector.h"
#include "source/node.h"
#include "source/page_position.h"
#include "source/page_text.h"
#include "syntax/lex_syntax.h"
#include "syntax/rule_ids.h"
#include "syntax/token_record_pool.h"

struct CompileOptions;
class Grammar;
class SourceProject;
class MappedText;
struct SourceText;

// Results of reading one source file.
enum SourceParseResult : int {
    kParsed = 0,
    kParseFailed = 102,
    kFileNotOpened = 139,
};

// Includes nest at most this deep below a top-level file (exclusive).
inline constexpr uint32_t kIncludeDepthLimit = 1024;

class qeSourceProcessor final : public qeLexSyntax::OnParseListener {
public:
    static constexpr uint32_t kEntryRule = RuleId::Entry;

    explicit qeSourceProcessor(uint32_t depth = 0);
    ~qeSourceProcessor();
    qeSourceProcessor(const qeSourceProcessor&) = delete;
    qeSourceProcessor& operator=(const qeSourceProcessor&) = delete;

    // Listener slots.
    _KNode<qeAbstractNode>* onRuleMatched(_KNode<qeAbstractNode>* out, qeLexSyntax& engine, int start, int count,
                                          uint32_t ruleId) override;
    void onBadCharacter(SourceInput* input) override;
    bool filterToken(SourceInput* input, int32_t length, TokenCode kind, char** docComment) override;
    bool dropsWhitespace() const override { return true; }
    bool keepsTokensPlainly() const override { return true; }
    NameWatch nameWatch() const override { return {nodetext::prefetchWanted(), nodetext::prefetch}; }
    TokenRecord* newTokenRecord() override;
    void freeTokenRecord(TokenRecord* record) override;
    void freeTokenRecords(TokenRecord* const* records, int count) override;
    void onParseFailed(SourceInput* input) override;
    void onLookaheadOverflow(SourceInput* input) override;
    void onParseRestarted() override;
    RuleSet passThroughRules() const override;
    RuleSet keepsRecordRules() const override;
    void nodeMarkRules(uint8_t (&marks)[256]) const override;
    void firstRecordRules(RuleSet (&rules)[256]) const override;

    // One error line at a 0-based position of the current file; a null
    // message stands for the general syntax error.
    void reportError(const char* message, uint32_t line, uint32_t column);

    // Every source in order, then the web-server class in server-page mode.
    // 0, or the first failing file's result.
    int parseProject(SourceProject& project, const CompileOptions& options);
    // Reads, registers and parses one file; `unit` receives its unit node.
    int parseSourceFile(SourceProject& project, const qestl::qestringW& path, _KNode<qeAbstractNode>& unit);
    // The same for a text held in memory, registered under `path` as if read
    // from it (a server page when the path names one).
    int parseSourceText(SourceProject& project, const qestl::qestringW& path, const char* text, size_t length,
                        _KNode<qeAbstractNode>& unit);

    // Parses the files of an include (RuleId::IncludeDirective) or require (RuleId::RequireDirective)
    // directive whose match starts at `start`; the first unit, carrying the
    // others as children, or an empty handle.
    _KNode<qeAbstractNode> processInclude(qeLexSyntax& engine, int start, int count, bool require);
    // processInclude, at most once per directive of a text: a speculative
    // parse reads the files (they report their own errors), and the exact
    // engine's run after a failed speculation takes the same result (and
    // failure) instead of reading them again.
    _KNode<qeAbstractNode> includeOnce(qeLexSyntax& engine, int start, int count, bool require);

    // Turns the page in `page` into the source of its servlet class.
    bool translateServerPage(SourceProject& project, const qestl::qestringW& pagePath, qestl::qestringA& out,
                             MappedText& page);
    // Builds, registers and parses the web-server main class; false when
    // its parse failed (reported).
    bool parseWebServerClass(SourceProject& project);
    // The web-server main class registering every servlet translated so far.
    qestl::qestringA webServerSource() const;

    qeLexSyntax& engine() { return parser_; }
    uint32_t fileIndex() const { return fileIndex_; }
    uint32_t depth() const { return depth_; }
    SourceProject* project() const { return project_; }
    const qestl::StringVector& htmlFragments() const { return htmlFragments_; }
    // Fragment `index` when it belongs to the page whose servlet source is
    // being parsed; null otherwise (other pages' fragments included).
    const qestl::qestringA* pageFragment(size_t index) const;
    const qestl::StringVector& servletClasses() const { return servletClasses_; }
    const qestl::qestringA& webRoot() const { return webRoot_; }
    void setWebRoot(const qestl::qestringA& root) { webRoot_ = root; }
    // The grammar this processor and those of its includes parse with: the
    // one set here (null: none), else the language's own.
    void setGrammar(const Grammar* grammar) { grammar_ = grammar; }
    const Grammar* grammar() const;

private:
    // Registers the text read for `path` and parses it into `unit`.
    int parseUnitText(SourceProject& project, const qestl::qestringW& path, SourceText& source,
                      _KNode<qeAbstractNode>& unit);
    // Runs the entry rule over `text`, registered as the current file, and on
    // success hangs the compilation unit under `unit`.
    bool parseRegisteredText(const char* text, size_t length, _KNode<qeAbstractNode>& unit, bool page = false);
    // The path of the current file in the ANSI code page ("" without project).
    qestl::qestringA currentPath() const;
    void reportAt(const SourceInput* input, const char* format);
    // A hint at the end of a record, in the file that end lies in.
    // `namedFile` and `path` keep the last file named and its path.
    void reportAtEnd(const char* message, const TokenRecord& record, uint32_t& namedFile, qestl::qestringA& path);

    qeLexSyntax parser_;
    // Freed token records, handed out again before any new one is made: the
    // engine makes and frees one per token and per reduction.
    TokenRecordPool recordPool_;
    uint32_t fileIndex_ = 0;
    uint32_t depth_ = 0;
    SourceProject* project_ = nullptr;
    qestl::StringVector htmlFragments_;
    qestl::StringVector servletClasses_;
    qestl::qestringA webRoot_;
    const Grammar* grammar_ = nullptr;
    qestl::qestringA pendingComment_;
    struct IncludeDone {
        uint32_t offset;  // of the directive in the text being parsed
        _KNode<qeAbstractNode> node;
        bool failed;
    };
    std::vector<IncludeDone> includesDone_;

    // Server pages: the expanded text of every page included so far, and
    // the page whose servlet source is being parsed.
    struct IncludedPage {
        qestl::qestringW path;
        PageText text;
    };
    bool expandPageIncludes(SourceProject& project, const qestl::qestringW& pagePath, PageText& page,
                            qestl::WStringVector& expanding);
    const PageText* includedPage(const qestl::qestringW& path) const;
    bool rewritePageBody(SourceProject& project, const qestl::qestringA& pagePath, const PageText& expanded,
                         PageText& body, PageText& customDefinitions);

    qestl::qevector<IncludedPage> includedPages_;
    PageText pageSource_;        // the generated servlet source
    // The texts page bytes come from: every page read, by file index (the
    // page being translated by its text id until it is registered).
    PageOrigins pageOrigins_;
    // Fragments [begin, end) were cut from the page last translated; they are
    // printable only while that page's servlet source is parsed.
    size_t pageFragmentsBegin_ = 0;
    size_t pageFragmentsEnd_ = 0;
    bool parsingPage_ = false;
};
