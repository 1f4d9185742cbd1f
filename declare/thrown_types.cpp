// A throws-list item keeps the whole written type as its text
// ("io.IOException", "Fault<int>"): it is read back into a type subtree at
// the item's position and resolved like any type expression.
#include <cctype>

#include "declare/declaration_entries.h"
#include "declare/declaration_pass.h"
#include "source/ast_nodes.h"

namespace declare {
namespace {

class TypeTextReader {
public:
    TypeTextReader(std::string_view text, const NodeHandle& at) : text_(text), at_(at) {}

    // A type: a dotted name, template arguments, array brackets; empty when
    // the text is not one.
    NodeHandle readType() {
        NodeHandle type = readName();
        if (!type) return type;
        while (peek() == '.') {
            ++pos_;
            NodeHandle member = readName();
            if (!member) return NodeHandle();
            NodeHandle dotted = place(".");
            dotted->operands.pushBack(type);
            dotted->operands.pushBack(member);
            type = dotted;
        }
        if (peek() == '<') {
            ++pos_;
            NodeHandle generic = place("");
            generic->kind = NodeKind::GenericType;
            NodeHandle arguments = place("");
            arguments->kind = NodeKind::List;
            generic->operands.pushBack(type);
            generic->operands.pushBack(arguments);
            for (;;) {
                NodeHandle argument = readType();
                if (!argument) return NodeHandle();
                arguments->operands.pushBack(argument);
                if (peek() == ',') {
                    ++pos_;
                    continue;
                }
                if (peek() != '>') return NodeHandle();
                ++pos_;
                break;
            }
            type = generic;
        }
        while (peek() == '[') {
            ++pos_;
            if (peek() != ']') return NodeHandle();
            ++pos_;
            NodeHandle array = place("");
            array->kind = NodeKind::Subscript;
            array->operands.pushBack(type);
            type = array;
        }
        return type;
    }

    bool atEnd() { return peek() == '\0'; }

private:
    char peek() {
        while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
        return pos_ < text_.size() ? text_[pos_] : '\0';
    }

    NodeHandle readName() {
        peek();
        const size_t start = pos_;
        while (pos_ < text_.size()) {
            const unsigned char c = static_cast<unsigned char>(text_[pos_]);
            if (!(std::isalnum(c) || c == '_' || c >= 0x80)) break;
            ++pos_;
        }
        if (pos_ == start) return NodeHandle();
        NodeHandle name = place(text_.substr(start, pos_ - start));
        name->kind = NodeKind::Name;
        return name;
    }

    // A node at the item's source position, so messages point at the item.
    NodeHandle place(std::string_view text) {
        NodeHandle node(emplaceAstNode(at_));
        node->setText(text);
        return node;
    }

    std::string_view text_;
    const NodeHandle& at_;
    size_t pos_ = 0;
};

}  // namespace

void resolveThrownType(CompileContext& context, const SmartPtr& scope, const NodeHandle& node, bool compilePass) {
    const auto resolve = [&](const NodeHandle& type) {
        if (compilePass)
            resolveTypeReference(context, type);
        else
            resolveTypeExpression(context, scope, type);
    };
    if (!node || node->kind != NodeKind::ThrowsType) return resolve(node);
    TypeTextReader reader(node->text.view(), node);
    NodeHandle type = reader.readType();
    if (!type || !reader.atEnd()) {
        context.lookup().clearResults();
        return;
    }
    resolve(type);
}

}  // namespace declare
