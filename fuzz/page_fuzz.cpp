// Any bytes as a server page with up to two pages it may include: the page
// translation (tags, includes, blocks, fragments), the position mapping and
// the parse of the generated servlet must finish cleanly and give back every
// node they took. The input is split at each "\n====\n": the page itself,
// then the texts of a.ksp and b.ksp beside it.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz/max_len.h"
#include "source/ast_nodes.h"
#include "source/source_processor.h"
#include "source/source_project.h"

namespace {

// Included pages are read from disk: one scratch directory for the run (in
// $TMPDIR when set), emptied and removed when the process ends.
std::string gDirectory;

void removeScratch() {
    for (const char* page : {"a.ksp", "b.ksp"}) ::unlink((gDirectory + "/" + page).c_str());
    ::rmdir(gDirectory.c_str());
}

const std::string* scratchDirectory() {
    static const bool made = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr && *base != 0 ? base : "/tmp") + "/korvo-page-fuzz-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) return false;
        gDirectory = pattern;
        std::atexit(removeScratch);
        return true;
    }();
    return made ? &gDirectory : nullptr;
}

// The text an included page was last written with.
struct Written {
    std::string text;
    bool made = false;
};

// Rewrites an included page only when its text changed: most mutations
// touch one piece of the input. The directory is the run's own, so a page
// written stays as written without asking the file system.
void putPage(const std::string& path, std::string_view text, Written& last) {
    if (last.made && text == last.text) return;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return;
    const bool whole = text.empty() || std::fwrite(text.data(), 1, text.size(), file) == text.size();
    last.made = std::fclose(file) == 0 && whole;
    last.text.assign(text.data(), text.size());
}

}  // namespace

KORVO_FUZZ_MAX_LEN(2048)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string* made = scratchDirectory();
    if (made == nullptr) return 0;
    const std::string& directory = *made;
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::string_view pieces[3];
    for (std::string_view& piece : pieces) {
        size_t cut = input.find("\n====\n");
        piece = input.substr(0, cut);
        input = cut == std::string_view::npos ? std::string_view() : input.substr(cut + 6);
    }
    static Written lastA, lastB;
    static const std::string pathA = directory + "/a.ksp", pathB = directory + "/b.ksp";
    putPage(pathA, pieces[1], lastA);
    putPage(pathB, pieces[2], lastB);

    const size_t before = LiveNodeRegistry::count();
    {
        SourceProject project;
        qeSourceProcessor processor;
        processor.setWebRoot(qestl::qestringA(directory.c_str()));
        _KNode<qeAbstractNode> unit;
        static const qestl::qestringW page = qestl::widen((directory + "/index.ksp").c_str());
        processor.parseSourceText(project, page, pieces[0].data(), pieces[0].size(), unit);
    }
    if (LiveNodeRegistry::count() != before) std::abort();
    if (includeGuard().size() != 0) std::abort();
    return 0;
}
