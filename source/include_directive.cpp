// include(...) and require(...): the named files are parsed by processors
// of their own while the including file is being parsed.
#include <memory>

#include "source/search_paths.h"
#include "source/source_errors.h"
#include "source/source_processor.h"
#include "source/source_project.h"

namespace {

// The literal without its quotes; no escapes are processed.
qestl::qestringW fileNameOf(const qeAbstractNode* literal) {
    const NodeText& text = literal->text;
    if (text.length() < 2) return qestl::qestringW();
    return qestl::widen(text.c_str() + 1, text.length() - 2);
}

}  // namespace

_KNode<qeAbstractNode> qeSourceProcessor::includeOnce(qeLexSyntax& engine, int start, int count, bool require) {
    const TokenRecord* directive = engine.slot(start);
    const uint32_t offset = directive != nullptr ? directive->startOffset : 0;
    for (const IncludeDone& done : includesDone_) {
        if (done.offset != offset) continue;
        if (done.failed) engine.setErrorFlag();
        return done.node;
    }
    _KNode<qeAbstractNode> node = processInclude(engine, start, count, require);
    includesDone_.push_back({offset, node, engine.errorFlag()});
    return node;
}

_KNode<qeAbstractNode> qeSourceProcessor::processInclude(qeLexSyntax& engine, int start, int, bool require) {
    _KNode<qeAbstractNode> result;
    TokenRecord* listRecord = engine.slot(start + 2);
    if (listRecord == nullptr || !listRecord->node || project_ == nullptr) return result;
    _KNode<qeAbstractNode> list = listRecord->node;
    const uint32_t line = list->startLine;
    const uint32_t column = list->startColumn;
    // Every failure is reported at the string list and names the search list.
    auto fail = [&](const char* message) {
        if (message != nullptr) {
            reportError(message, line, column);
            printSearchPaths();
        }
        engine.setErrorFlag();
        return result;
    };

    for (const _KNode<qeAbstractNode>& literal : list->operands) {
        if (!literal) continue;
        qestl::qestringW name = fileNameOf(literal.get());
        qestl::qestringW path;
        if (!findIncludedFile(name, path)) {
            qestl::qestringA ansi = qestl::narrow(name);
            qestl::qestringA message = qestl::qestringA::format(diag::FileNotFound.text, ansi.c_str() ? ansi.c_str() : "");
            return fail(message.c_str());
        }
        if (require && project_->findPath(path)) continue;
        if (project_->includeGuard.contains(path)) return fail(diag::IncludeCycle.text);
        if (depth_ + 1 >= kIncludeDepthLimit) return fail(diag::IncludeTooDeep.text);

        _KNode<qeAbstractNode> unit;
        int parsed;
        {
            // On the heap: a chain of includes nests one processor per level.
            auto included = std::make_unique<qeSourceProcessor>(depth_ + 1);
            included->setWebRoot(webRoot_);
            included->setGrammar(grammar_);
            project_->includeGuard.insert(path);
            parsed = included->parseSourceFile(*project_, path, unit);
            project_->includeGuard.erase(path);
        }
        // The included file has reported its own errors.
        if (parsed != kParsed) return fail(nullptr);
        if (!result) {
            result = unit;
        } else {
            result->children.pushBack(unit);
        }
    }
    return result;
}
