// Any bytes as a server page with up to two pages it may include: the page
// translation (tags, includes, blocks, fragments), the position mapping and
// the parse of the generated servlet must finish cleanly and give back every
// node they took. The input is split at each "\n====\n": the page itself,
// then the texts of a.ksp and b.ksp beside it.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz/max_len.h"
#include "fuzz/scratch_file.h"
#include "source/ast_nodes.h"
#include "source/source_processor.h"
#include "source/source_project.h"

namespace {

// Included pages are read from disk: one scratch directory for the run (in
// $TMPDIR when set), emptied and removed when the process ends. Its two
// pages stay open for writing from input to input.
std::string gDirectory;

// An included page's file and the text it was last written with.
struct PageFile {
    const char* name;
    int fd = -1;
    std::string text;
    bool written = false;
};
PageFile gPages[2] = {{"a.ksp", -1, {}, false}, {"b.ksp", -1, {}, false}};

void removeScratch() {
    for (PageFile& page : gPages) {
        if (page.fd >= 0) ::close(page.fd);
        ::unlink((gDirectory + "/" + page.name).c_str());
    }
    ::rmdir(gDirectory.c_str());
}

const std::string* scratchDirectory() {
    static const bool made = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr && *base != 0 ? base : "/tmp") + "/korvo-page-fuzz-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) return false;
        gDirectory = pattern;
        std::atexit(removeScratch);
        for (PageFile& page : gPages)
            page.fd = ::open((gDirectory + "/" + page.name).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        return true;
    }();
    return made ? &gDirectory : nullptr;
}

// Rewrites an included page only when its text changed: most mutations
// touch one piece of the input. The directory is the run's own, so a page
// written stays as written without asking the file system. A page that could
// not be written is read as whatever its file holds (none: not found).
void putPage(PageFile& page, std::string_view text) {
    if (page.fd < 0 || (page.written && text == page.text)) return;
    page.written = rewriteFile(page.fd, text.data(), text.size(), page.written ? page.text.size() : SIZE_MAX);
    page.text.assign(text.data(), text.size());
}

}  // namespace

// Features seen fewer than 32 times count as rare, as for the whole
// compiler: ten minutes from the kept seeds ran 611,264 inputs instead of
// 514,240 in the same CPU time, and reached more coverage (2,943 edges, not
// 2,890).
KORVO_FUZZ_FLAGS("-max_len=2048", "-entropic_feature_frequency_threshold=32")

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Each page translated says so on stdout.
    static bool quiet = std::freopen("/dev/null", "w", stdout) != nullptr;
    (void)quiet;
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
    putPage(gPages[0], pieces[1]);
    putPage(gPages[1], pieces[2]);

    const size_t before = LiveNodeRegistry::count();
    {
        SourceProject project;
        qeSourceProcessor processor;
        processor.setWebRoot(qestl::qestringA(directory.c_str()));
        _KNode<qeAbstractNode> unit;
        static const qestl::qestringW page = qestl::widen((directory + "/index.ksp").c_str());
        processor.parseSourceText(project, page, pieces[0].data(), pieces[0].size(), unit);
        if (project.includeGuard.size() != 0) std::abort();
    }
    if (LiveNodeRegistry::count() != before) std::abort();
    return 0;
}
