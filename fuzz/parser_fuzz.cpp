// Any byte sequence given to the scanner, the grammar and the source processor
// must be recognised or refused cleanly: no read outside the text, no leak of
// window records, the same answer twice in a row from one recogniser, and a
// syntax tree (parsed, cloned, released) that gives back every node it took.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "driver/compile_options.h"
#include "fuzz/scratch_file.h"
#include "foundation/path.h"
#include "source/ast_nodes.h"
#include "source/source_processor.h"
#include "source/source_project.h"
#include "syntax/recognizer.h"
#include "syntax/scanner.h"

namespace {

void scanWhole(const char* text, int32_t length) {
    for (int32_t offset = 0; offset < length;) {
        TokenCode kind = 0;
        int32_t step = scanner::scanTokenAt(text, length, offset, &kind);
        if (step < 0 || offset + step > length) break;
        if (step == 0) std::abort();  // only the end of the text has no length
        offset += step;
    }
}

void recognizeTwice(const char* text, size_t size) {
    GrammarRecognizer recognizer;
    bool first = recognizer.recognize(text, size);
    size_t problems = recognizer.problems().size();
    bool second = recognizer.recognize(text, size);
    if (first != second || problems != recognizer.problems().size()) std::abort();
    if (!first && problems == 0) std::abort();  // a refusal always says why
}

// Parses the input as a project of one source, clones the tree and lets both
// go: afterwards no node may be left alive and no include may be open.
void parseAndRelease(const uint8_t* data, size_t size) {
    const char* file = writeScratchFile(data, size);
    if (file == nullptr) return;
    const size_t before = LiveNodeRegistry::count();
    {
        CompileOptions options;
        options.sourceFiles.pushBack(qestl::widen(file));
        SourceProject project;
        qeSourceProcessor processor;
        processor.parseProject(project, options);
        _KNode<qeAbstractNode> copy;
        if (project.root) cloneAstSubtree(project.root.get(), copy);
    }
    if (LiveNodeRegistry::count() != before) std::abort();
    if (includeGuard().size() != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    scanWhole(text, static_cast<int32_t>(size));
    recognizeTwice(text, size);
    parseAndRelease(data, size);
    return 0;
}
