// Server pages: HTML with embedded code, turned into the source of one
// servlet class whose doGet prints the HTML and runs the code.
#include <cstdio>
#include <string_view>

#include "foundation/path.h"
#include "source/page_position.h"
#include "source/page_tags.h"
#include "source/search_paths.h"
#include "source/source_errors.h"
#include "source/source_processor.h"
#include "source/source_project.h"
#include "source/source_text.h"

namespace {

constexpr std::string_view kCustomDefinePlaceholder = "/*KSP_CUSTOMDEFINE*/";

std::string_view viewOf(const qestl::qestringA& text) { return text.view(); }

std::string_view groupText(const qestl::qestringA& text, uint64_t group) {
    return viewOf(text).substr(tagGroupStart(group), tagGroupEnd(group) - tagGroupStart(group));
}

PageText generatedPiece(const qestl::qestringA& text) {
    PageText piece;
    piece.assign(text.c_str(), text.length());
    return piece;
}

bool isHtmlBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trimmed(std::string_view run) {
    while (!run.empty() && isHtmlBlank(run.front())) run.remove_prefix(1);
    while (!run.empty() && isHtmlBlank(run.back())) run.remove_suffix(1);
    return run;
}

// The page's path below the web root as the servlet pattern writes it, dots
// escaped for a string literal.
qestl::qestringA servletPath(const qestl::qestringW& pagePath, const qestl::qestringA& webRoot) {
    qestl::qestringA relative = qestl::relativePath(qestl::narrow(pagePath), webRoot);
    std::string_view view = relative.view();
    size_t skip = 0;
    while (skip < view.size() && (view[skip] == '.' || view[skip] == '/' || view[skip] == '\\')) ++skip;
    qestl::qestringA path;
    for (char c : view.substr(skip)) {
        if (c == '\\') c = '/';
        if (c == '.') {
            path.append("\\\\.");
        } else {
            path.append(&c, 1);
        }
    }
    return path;
}

// The directory an included page is named relative to; a page named without
// one lies in the current directory.
qestl::qestringW pageDirectory(const qestl::qestringW& pagePath) {
    qestl::qestringW directory = directoryOf(pagePath);
    // directoryOf hands back a path without a separator whole.
    return directory.length() < pagePath.length() ? directory : qestl::qestringW();
}

}  // namespace

const PageText* qeSourceProcessor::includedPage(const qestl::qestringW& path) const {
    for (const IncludedPage& page : includedPages_) {
        if (page.path == path.view()) return &page.text;
    }
    return nullptr;
}

const qestl::qestringA* qeSourceProcessor::pageFragment(size_t index) const {
    if (!parsingPage_ || index < pageFragmentsBegin_ || index >= pageFragmentsEnd_) return nullptr;
    return &htmlFragments_[index];
}

bool qeSourceProcessor::expandPageIncludes(SourceProject& project, const qestl::qestringW& pagePath, PageText& page,
                                           qestl::WStringVector& expanding) {
    qestl::VectorOfU64Vectors tags;
    scanPageTags(tags, page.text.c_str(), page.text.length());
    // From the last tag back, so that the offsets of earlier tags hold.
    for (size_t t = tags.size(); t-- > 0;) {
        qestl::U64Vector& groups = tags[t];
        if (groupText(page.text, groups[kTagName]) != "include" ||
            groupText(page.text, groups[kTagAttribute]) != "page")
            continue;
        std::string_view value = groupText(page.text, groups[kTagValue]);
        qestl::qestringW path = pageDirectory(pagePath);
        qestl::qestringW name = qestl::widen(value.data(), value.size());
        qestl::appendPath(path, name.c_str());
        qestl::normaliseWidePath(path);

        PageText included;
        if (const PageText* known = includedPage(path)) {
            included = *known;
        } else {
            for (const qestl::qestringW& open : expanding) {
                if (open == path.view()) {
                    // A page that includes itself, directly or through others.
                    uint32_t line = 0, column = 0;
                    lineAndColumnAt(page.text.c_str(), static_cast<uint32_t>(page.text.length()),
                                    tagGroupStart(groups[kTagWhole]), line, column);
                    logSourceError(qestl::narrow(pagePath), line, column, diag::IncludeCycle.text);
                    printSearchPaths();
                    return false;
                }
            }
            SourceText source;
            const WholeRead read = readSourceText(project.texts, path, source);
            if (read != WholeRead::Read) {
                std::printf("%s\n", unreadSourceMessage(read, path).c_str());
                return false;
            }
            included.assign(source.text, source.length);
            expanding.pushBack(path);
            bool expanded = expandPageIncludes(project, path, included, expanding);
            expanding.popBack();
            if (!expanded) return false;
            SourceText kept = keepSourceText(project.texts, included.text.c_str(), included.text.length());
            uint32_t index = project.addSourceFile(path, kept.text);
            // Its own bytes are named by its file, wherever they are pasted.
            included.renumber(included.id, index);
            pageOrigins_.add(index, source.text, static_cast<uint32_t>(source.length));
            project.texts.release(source);  // the expanded copy is what is read from now on
            MappedText stored;
            included.exportTo(stored);
            project.storeMappedText(static_cast<int32_t>(index), stored);
            includedPages_.pushBack(IncludedPage{path, included});
        }
        const uint32_t start = tagGroupStart(groups[kTagWhole]);
        page.replace(start, tagGroupEnd(groups[kTagWhole]) - start, included);
    }
    return true;
}

bool qeSourceProcessor::rewritePageBody(SourceProject& project, const qestl::qestringA& pagePath,
                                        const PageText& expanded, PageText& body, PageText& customDefinitions) {
    // The body is built front to back from the expanded page, so the work
    // grows with the page, not with the page times its blocks.
    body = PageText();
    body.id = expanded.id;
    const std::string_view page = viewOf(expanded.text);
    size_t runStart = 0;  // the HTML run not yet copied begins here
    // The HTML between two blocks prints as one fragment of the page; a run
    // of blanks stays as it is.
    auto copyRun = [&](size_t runEnd) {
        std::string_view html = trimmed(page.substr(runStart, runEnd - runStart));
        if (html.empty()) {
            body.appendSlice(expanded, runStart, runEnd);
            return;
        }
        qestl::qestringA call =
            qestl::qestringA::format("\n___print_html_source__(%d);\n", static_cast<int>(htmlFragments_.size()));
        htmlFragments_.pushBack(qestl::qestringA(html.data(), html.size()));
        body.appendGenerated(call.c_str(), call.length());
    };

    for (size_t from = 0;;) {
        const size_t open = page.find("<%", from);
        if (open == std::string_view::npos) break;
        const size_t close = page.find("%>", open + 2);
        if (close == std::string_view::npos) {
            // Reported where the block opens in the page (or included page)
            // it was written in.
            uint32_t line = 0, column = 0;
            qestl::qestringA where = pagePath;
            const PageSegment* segment = expanded.segmentAt(static_cast<uint32_t>(open));
            if (segment != nullptr &&
                pageOrigins_.position(segment->textId, segment->origin + static_cast<uint32_t>(open - segment->start),
                                      line, column)) {
                if (segment->textId != expanded.id) where = qestl::narrow(project.filePath(segment->textId));
            } else {
                lineAndColumnAt(body.text.c_str(), static_cast<uint32_t>(body.text.length()),
                                static_cast<uint32_t>(body.text.length()), line, column);
                advancePosition(page.data() + runStart, open - runStart, line, column);
            }
            logSourceError(where, line, column, nullptr);
            return false;
        }
        copyRun(open);
        const char first = close > open + 2 ? page[open + 2] : 0;
        if (first == '%') {
            customDefinitions.appendSlice(expanded, open + 3, close);
        } else if (first == '@') {
            body.appendSlice(expanded, open, close + 2);
        } else {
            body.appendSlice(expanded, open + 2, close);
        }
        from = runStart = close + 2;
    }
    copyRun(page.size());
    return true;
}

bool qeSourceProcessor::translateServerPage(SourceProject& project, const qestl::qestringW& pagePath,
                                            qestl::qestringA& out, MappedText& page) {
    // Origins of the page's own bytes count in the page as read; the page is
    // known by its text id until it has a file index.
    pageOrigins_.add(page.id, page.text.c_str(), static_cast<uint32_t>(page.text.length()));
    PageText expanded;
    expanded.text = page.text;
    expanded.id = page.id;
    expanded.segments.pushBack(PageSegment{0, static_cast<uint32_t>(expanded.text.length()), page.id, 0});
    qestl::WStringVector expanding;
    expanding.pushBack(pagePath);
    if (!expandPageIncludes(project, pagePath, expanded, expanding)) {
        out.clear();
        return false;
    }

    qestl::qestringA className = qestl::qestringA::format("Page_%llu",
                                                          static_cast<unsigned long long>(project.nextPageNumber()));
    qestl::qestringA path = servletPath(pagePath, webRoot_);
    qestl::qestringA header("class ");
    header.append(className);
    header.append(" : HttpServlet{ \n public ");
    header.append(className);
    header.append("(){\nsuper(4,\"/");
    header.append(path);
    header.append("\");\n}\n\n/*KSP_CUSTOMDEFINE*/\n\n");
    header.append(
        "void doPost(HttpServletRequest request, HttpServletResponse response) override {\n"
        " doGet(request, response);\n }\n");
    header.append(
        " void doGet(HttpServletRequest request, HttpServletResponse response) override {"
        "HttpServletRequest session = request;HttpServletResponse out = response;\n  ");
    std::printf("compiling...  %s\n", path.c_str());

    PageText body;
    PageText customDefinitions;
    pageFragmentsBegin_ = pageFragmentsEnd_ = htmlFragments_.size();
    if (!rewritePageBody(project, qestl::narrow(pagePath), expanded, body, customDefinitions)) {
        out.clear();
        return false;
    }
    PageText source = generatedPiece(header);
    size_t placeholder = viewOf(source.text).find(kCustomDefinePlaceholder);
    source.replace(placeholder, kCustomDefinePlaceholder.size(), customDefinitions);
    source.append(body);
    source.append(generatedPiece(qestl::qestringA("\n}\n};")));
    source.id = page.id;

    pageFragmentsEnd_ = htmlFragments_.size();
    pageSource_ = source;
    source.exportTo(page);
    out = source.text;
    servletClasses_.pushBack(className);
    return true;
}
