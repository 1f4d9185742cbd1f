// Prints a syntax tree as S-expressions, for probes and tests:
//   (Kind "text" #flags doc="..." @(annotations) operand... | child...)
// "_" stands for an empty handle. A node with nothing below it stays on one
// line; otherwise each operand, then each child (marked "| "), goes on its
// own line, indented two spaces deeper.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "source/node.h"

namespace ast_print {

inline const char* kindName(uint32_t kind) {
    switch (kind) {
    case 8: return "Name";
    case 9: return "StringLiteral";
    case 10: return "CharLiteral";
    case 11: return "ArrayInitializer";
    case 12: return "IntegerLiteral";
    case 13: return "FloatLiteral";
    case 14: return "If";
    case 15: return "Conditional";
    case 16: return "For";
    case 17: return "Cast";
    case 18: return "VariableDeclaration";
    case 19: return "Declare";
    case 20: return "SourceUnit";
    case 23: return "Method";
    case 25: return "Operator";
    case 26: return "FunctionDeclaration";
    case 27: return "NativeFunction";
    case 29: return "Using";
    case 31: return "Class";
    case 33: return "NewWithBody";
    case 34: return "TemplateClass";
    case 36: return "While";
    case 38: return "Call";
    case 40: return "Expression";
    case 42: return "GenericType";
    case 43: return "Try";
    case 44: return "Catch";
    case 45: return "CatchClause";
    case 47: return "BoolLiteral";
    case 48: return "Break";
    case 49: return "Continue";
    case 50: return "Return";
    case 51: return "Throw";
    case 52: return "Subscript";
    case 53: return "List";
    case 55: return "Switch";
    case 56: return "Group";
    case 58: return "DoWhile";
    case 61: return "Empty";
    case 63: return "Block";
    case 64: return "NativeImport";
    case 66: return "Synchronized";
    case 67: return "SynchronizedRead";
    case 68: return "SynchronizedWrite";
    case 84: return "DynamicNativeImport";
    case 87: return "EnumItem";
    case 88: return "DriverUnit";
    case 90: return "AccessModifier";
    case 91: return "ThrowsType";
    case 92: return "NewArrayWithInitializer";
    case 93: return "ForEach";
    case 94: return "ForTo";
    case 96: return "Annotation";
    case 97: return "AnnotationList";
    default: return nullptr;
    }
}

// Quotes a text; bytes outside printable ASCII are written as \xNN.
inline std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c >= 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

inline void printHead(const qeAbstractNode& node, std::string& out) {
    out += '(';
    if (const char* name = kindName(node.kind)) out += name;
    else out += std::to_string(node.kind);
    if (!node.text.empty()) out += " " + quoted(node.text.view());
    if (node.flags != 0) {
        char flags[16];
        std::snprintf(flags, sizeof flags, " #0x%X", node.flags);
        out += flags;
    }
    if (!node.docComment().empty()) out += " doc=" + quoted(node.docComment().view());
}

// Prints with an explicit stack, so a tree of any depth prints (a library
// read from a file may nest a hundred thousand levels). The sink takes
// pieces of text (`text`) and runs of blanks (`blanks`).
template <typename Sink>
void print(const qeAbstractNode* root, Sink& sink) {
    enum Marker : uint8_t { kNone, kOperand, kChild, kAnnotation, kClose };
    struct Task {
        const qeAbstractNode* node;
        size_t indent;  // of the line the node starts on
        Marker marker;
    };
    std::vector<Task> tasks{{root, 0, kNone}};
    std::string head;
    while (!tasks.empty()) {
        const Task task = tasks.back();
        tasks.pop_back();
        if (task.marker == kClose) {
            sink.text(")");
            continue;
        }
        if (task.marker != kNone) {
            sink.text("\n");
            sink.blanks(task.indent);
            if (task.marker == kChild) sink.text("| ");
            if (task.marker == kAnnotation) sink.text("@");
        }
        const qeAbstractNode* node = task.node;
        if (!node) {
            sink.text("_");
            continue;
        }
        head.clear();
        printHead(*node, head);
        sink.text(head);
        if (!node->annotations() && node->operands.empty() && node->children.empty()) {
            sink.text(")");
            continue;
        }
        // Pushed in reverse: the annotation list first, then the operands,
        // then the children, then the closing parenthesis.
        const size_t inner = task.indent + 2;
        tasks.push_back({nullptr, 0, kClose});
        for (size_t i = node->children.size(); i-- > 0;) tasks.push_back({node->children[i].get(), inner, kChild});
        for (size_t i = node->operands.size(); i-- > 0;) tasks.push_back({node->operands[i].get(), inner, kOperand});
        if (node->annotations()) tasks.push_back({node->annotations().get(), inner, kAnnotation});
    }
}

struct StringSink {
    std::string& out;
    void text(std::string_view piece) { out.append(piece); }
    void blanks(size_t count) { out.append(count, ' '); }
};

struct FileSink {
    std::FILE* file;
    void text(std::string_view piece) { std::fwrite(piece.data(), 1, piece.size(), file); }
    void blanks(size_t count) {
        static const std::string kBlanks(4096, ' ');
        for (; count > kBlanks.size(); count -= kBlanks.size()) std::fwrite(kBlanks.data(), 1, kBlanks.size(), file);
        std::fwrite(kBlanks.data(), 1, count, file);
    }
};

inline std::string toText(const qeAbstractNode* node) {
    std::string out;
    StringSink sink{out};
    print(node, sink);
    return out;
}

// The same text straight to a file, without holding it whole.
inline void writeText(const qeAbstractNode* node, std::FILE* file) {
    FileSink sink{file};
    print(node, sink);
}

}  // namespace ast_print
