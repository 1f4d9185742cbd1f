// The web-server main class of a server-page project: the template with a
// registration of every servlet translated from the pages.
#include "diagnostics/diagnostics.h"
#include "source/ast_nodes.h"
#include "source/source_processor.h"
#include "source/source_project.h"
#include "source/source_text.h"
#include "source/web_server_template.h"

namespace {

constexpr char kWebServerFile[] = "kweb_rt.lik";

}  // namespace

qestl::qestringA qeSourceProcessor::webServerSource() const {
    qestl::qestringA registrations;
    for (const qestl::qestringA& name : servletClasses_) {
        registrations.appendFormat("wb.registryServlet(new %s());", name.c_str());
    }
    qestl::qestringA source = webServerTemplate();
    source.replaceAll(kRegistryPlaceholder, registrations.c_str());
    return source;
}

bool qeSourceProcessor::parseWebServerClass(SourceProject& project) {
    qestl::qestringA source = webServerSource();

    _KNode<qeAbstractNode> unit = makeAstNode(NodeKind::SourceUnit, kWebServerFile);
    unit->fileIndex = fileIndex_;
    SourceText kept = keepSourceText(project.texts, source.c_str(), source.length());
    fileIndex_ = project.addSourceFile(qestl::widen(kWebServerFile), kept.text);
    project_ = &project;
    if (!parseRegisteredText(kept.text, kept.length, unit)) {
        reportError(qestl::qestringA::format(diag::SyntaxErrorIn.text, kWebServerFile).c_str(), 0, 0);
        return false;
    }
    if (!project.root) {
        project.root = unit;
    } else {
        project.root->children.pushBack(unit);
    }
    return true;
}
