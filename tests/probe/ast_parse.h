// Parses korvo into syntax trees, for probes and tests.
//
// parseFiles runs the compiler's own project parse (the source processor with
// its includes, doc comments and error messages) over files.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "foundation/logger.h"
#include "foundation/path.h"
#include "options/compile_options.h"
#include "source/source_processor.h"
#include "source/source_project.h"

namespace ast_parse {

// The compilation unit parsed from each file, in order, as the compiler would
// parse them into one project; the processor's messages go to standard output.
// False when the project parse failed.
inline bool parseFiles(const std::vector<std::string>& files, std::vector<_KNode<qeAbstractNode>>& units) {
    static qeCompilerLogcat console;
    static bool started = false;
    if (!started) {
        logcatSetUp();
        logcatAddSink(&console);
        started = true;
    }
    CompileOptions options;
    for (const std::string& file : files) {
        qestl::qestringW path = qestl::widen(file.c_str());
        qestl::normaliseWidePath(path);
        options.sourceFiles.pushBack(path);
    }
    SourceProject project;
    qeSourceProcessor processor;
    units.clear();
    if (processor.parseProject(project, options) != kParsed || !project.root) return false;
    // The root is the first file's unit; the later units are its children,
    // after its own compilation unit.
    const qeAbstractNode& root = *project.root;
    for (size_t i = 0; i < root.children.size(); ++i) {
        const _KNode<qeAbstractNode>& child = root.children[i];
        if (i == 0) {
            units.push_back(child);
        } else if (child && !child->children.empty()) {
            units.push_back(child->children[0]);
        }
    }
    return true;
}

// Standard input goes through a temporary file, since the processor reads
// files.
inline bool copyStandardInput(std::string& path) {
    char name[] = "/tmp/korvo-ast-XXXXXX.k";
    int fd = mkstemps(name, 2);
    if (fd < 0) return false;
    path = name;
    char buffer[65536];
    size_t got;
    bool ok = true;
    while ((got = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) {
        if (write(fd, buffer, got) != static_cast<ssize_t>(got)) ok = false;
    }
    close(fd);
    return ok;
}

// parseFiles over one file, or standard input for "-". The unit parsed
// first, or empty when the parse failed; false when the input could not be
// read.
inline bool parseFileOrInput(std::string path, _KNode<qeAbstractNode>& unit) {
    const bool fromInput = path == "-";
    if (fromInput && !copyStandardInput(path)) return false;
    std::vector<_KNode<qeAbstractNode>> units;
    const bool parsed = parseFiles({path}, units);
    if (fromInput) unlink(path.c_str());
    std::fflush(stdout);
    unit = parsed && !units.empty() ? units[0] : _KNode<qeAbstractNode>();
    return true;
}

}  // namespace ast_parse
