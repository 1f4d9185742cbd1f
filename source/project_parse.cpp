// Reading source files into the project and parsing them into unit nodes.
#include <cstdio>

#include "diagnostics/diagnostics.h"
#include "options/compile_options.h"
#include "source/ast_nodes.h"
#include "source/list_storage.h"
#include "source/page_position.h"
#include "source/search_paths.h"
#include "source/source_processor.h"
#include "source/source_project.h"
#include "source/source_text.h"
#include "syntax/rules.h"

namespace {

// The unit node of a file, named by its path, that its compilation unit
// hangs under.
_KNode<qeAbstractNode> makeUnit(const qestl::qestringW& path, uint32_t fileIndex) {
    const qestl::qestringA ansiPath = qestl::narrow(path);
    _KNode<qeAbstractNode> unit = makeAstNode(NodeKind::SourceUnit, ansiPath.c_str(), ansiPath.length());
    unit->fileIndex = fileIndex;
    return unit;
}

}  // namespace

bool qeSourceProcessor::parseRegisteredText(const char* text, size_t length, _KNode<qeAbstractNode>& unit,
                                            bool page) {
    PageSourceInput input;
    // Only a page's generated text maps its positions; for any other text the
    // hook would give every token back its own position, at two calls a token.
    if (page) {
        input.generated = &pageSource_;
        input.origins = &pageOrigins_;
        input.positionHook = mapKspPosition;
    }
    input.hookContext = project_;
    input.fileIndex = fileIndex_;
    bool parsed = false;
    if (input.setText(text, length)) {
        parser_.reset();
        // Comments left over from a text whose parse stopped early belong to
        // no token of this one.
        pendingComment_.clear();
        includesDone_.clear();
        // The walks of the files parsed before are replayed in this one.
        parser_.setFastPath(project_ != nullptr ? &project_->walks() : nullptr, korvoCachedWalks(), korvoLateWalks());
        parser_.attach(&input, this, grammar());
        parsingPage_ = page;
        parsed = parser_.parseText(kEntryRule);
        parsingPage_ = false;
        if (parsed) {
            TokenRecord* first = parser_.slot(0);
            if (first != nullptr && first->node) {
                first->node->fileIndex = fileIndex_;
                unit->children.pushBack(first->node);
            }
        } else {
            onParseFailed(&input);
        }
    }
    // Records point at the input on this stack: free them before it goes.
    parser_.attach(nullptr, this, nullptr);
    parser_.reset();
    return parsed;
}

int qeSourceProcessor::parseSourceFile(SourceProject& project, const qestl::qestringW& path,
                                       _KNode<qeAbstractNode>& unit) {
    unit = makeUnit(path, fileIndex_);
    SourceText source;
    const WholeRead read = readSourceText(project.texts, path, source);
    if (read != WholeRead::Read) {
        unit.reset();
        const qestl::qestringA message = unreadSourceMessage(read, path);
        std::printf("%s\n", message.c_str());
        reportError(message.c_str(), 0, 0);
        if (read == WholeRead::Unopened) printSearchPaths();
        return kFileNotOpened;
    }
    return parseUnitText(project, path, source, unit);
}

int qeSourceProcessor::parseSourceText(SourceProject& project, const qestl::qestringW& path, const char* bytes,
                                       size_t length, _KNode<qeAbstractNode>& unit) {
    unit = makeUnit(path, fileIndex_);
    // The project quotes its files' texts long after the parse: keep a copy.
    SourceText kept = keepSourceText(project.texts, bytes, bytes != nullptr ? length : 0);
    return parseUnitText(project, path, kept, unit);
}

int qeSourceProcessor::parseUnitText(SourceProject& project, const qestl::qestringW& path, SourceText& source,
                                     _KNode<qeAbstractNode>& unit) {
    const char* text = source.text;
    size_t length = source.length;
    const bool serverPage = isServerPagePath(path);
    if (serverPage) {
        MappedText page;
        page.assign(source.text, source.length);
        const uint32_t pageId = page.id;
        qestl::qestringA generated;
        const bool translated = translateServerPage(project, path, generated, page);
        // The page as read is not read again: its generated text is the file's.
        project.texts.release(source);
        if (!translated) {
            unit.reset();
            return kParseFailed;
        }
        SourceText kept = keepSourceText(project.texts, generated.c_str(), generated.length());
        text = kept.text;
        length = kept.length;
        fileIndex_ = project.addSourceFile(path, text);
        project.storeMappedText(static_cast<int32_t>(pageId), page);
        project.registerMappedText(pageId, fileIndex_);
        pageSource_.renumber(pageId, fileIndex_);
        pageOrigins_.renumber(pageId, fileIndex_);
    } else {
        fileIndex_ = project.addSourceFile(path, text);
    }
    project_ = &project;
    addSearchPath(directoryOf(path));

    if (parseRegisteredText(text, length, unit, serverPage)) return kParsed;
    unit.reset();
    const qestl::qestringA ansiPath = qestl::narrow(path);
    qestl::qestringA message = qestl::qestringA::format(diag::SyntaxErrorIn.text, ansiPath.c_str() ? ansiPath.c_str() : "");
    reportError(message.c_str(), 0, 0);
    return kParseFailed;
}

int qeSourceProcessor::parseProject(SourceProject& project, const CompileOptions& options) {
    const bool serverPages = options.serverPages != 0;
    if (serverPages) webRoot_ = options.webRoot;
    nodelist::setTreeBuilt(false);
    for (const qestl::qestringW& path : options.sourceFiles) {
        if (path.empty()) continue;
        _KNode<qeAbstractNode> unit;
        int result = parseSourceFile(project, path, unit);
        if (result != kParsed) return result;
        if (!project.root) {
            project.root = unit;
        } else {
            project.root->children.pushBack(unit);
        }
    }
    if (serverPages) parseWebServerClass(project);
    // The project is parsed: no walk is replayed again.
    project.releaseWalks();
    nodelist::setTreeBuilt(true);
    return kParsed;
}
