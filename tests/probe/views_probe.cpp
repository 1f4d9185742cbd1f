// korvo-probe views FILE|-: parses as `ast` does, then reads every method,
// operator, class and anonymous-class node through the declaration views,
// one line each, in tree order (node, operands, children).
#include <cstdio>
#include <string>

#include "ast_parse.h"
#include "model/declaration_views.h"
#include "probe.h"

namespace {

using Node = _KNode<qeAbstractNode>;

std::string kindOf(const Node& node) { return node ? std::to_string(node->kind) : "_"; }

void printFunction(const model::IRFunction& view, bool isOperator) {
    std::string names;
    for (size_t i = 0; i < view.parameterCount(); ++i) {
        const qestl::qestringA name = view.parameterName(i);
        names += (i ? "," : "") + (name.empty() ? std::string("_") : std::string(name.c_str()));
    }
    std::printf("%s %s %zu %s static=%d override=%d final=%d\n", isOperator ? "operator" : "method",
                view.name().c_str(), view.parameterCount(), names.empty() ? "-" : names.c_str(), view.isStatic(),
                view.isOverride(), view.isFinal());
}

void walk(const Node& node) {
    if (!node) return;
    switch (node->kind) {
    case NodeKind::Method: printFunction(model::IRFunction(node), false); break;
    case NodeKind::Operator: printFunction(model::IROperator(node), true); break;
    case NodeKind::Class:
    case NodeKind::TemplateClass: {
        const model::IRClass view(node);
        std::printf("class %s base=%s members=%s closing=%s\n", view.name().c_str(), kindOf(view.baseList()).c_str(),
                    kindOf(view.memberList()).c_str(), kindOf(view.closingNode()).c_str());
        break;
    }
    case NodeKind::NewWithBody: {
        const model::IRTemporaryClass view(node);
        const Node base = view.baseList();
        std::printf("anonymous %s base=%s members=%s\n", view.name().c_str(), base ? base->text.c_str() : "_",
                    kindOf(view.memberList()).c_str());
        break;
    }
    default: break;
    }
    for (const Node& operand : node->operands) walk(operand);
    for (const Node& child : node->children) walk(child);
}

int viewsCommand(int argc, char** argv) {
    if (argc != 1) {
        std::fputs("usage: korvo-probe views FILE|-\n", stderr);
        return 2;
    }
    Node unit;
    if (!ast_parse::parseFileOrInput(argv[0], unit)) {
        std::fputs("cannot read standard input\n", stderr);
        return 2;
    }
    if (!unit) return 1;
    walk(unit);
    return 0;
}

}  // namespace

KORVO_PROBE("views", "FILE|-", viewsCommand);
