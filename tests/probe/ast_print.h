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

inline void print(const qeAbstractNode* node, std::string& out, int indent = 0);

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
    if (!node.docComment.empty()) out += " doc=" + quoted(node.docComment.view());
}

inline void print(const qeAbstractNode* node, std::string& out, int indent) {
    if (!node) {
        out += '_';
        return;
    }
    printHead(*node, out);
    bool annotated = static_cast<bool>(node->annotations);
    if (!annotated && node->operands.empty() && node->children.empty()) {
        out += ')';
        return;
    }
    std::string pad(static_cast<size_t>(indent) + 2, ' ');
    if (annotated) {
        out += "\n" + pad + "@";
        print(node->annotations.get(), out, indent + 2);
    }
    for (const auto& operand : node->operands) {
        out += "\n" + pad;
        print(operand.get(), out, indent + 2);
    }
    for (const auto& child : node->children) {
        out += "\n" + pad + "| ";
        print(child.get(), out, indent + 2);
    }
    out += ')';
}

inline std::string toText(const qeAbstractNode* node) {
    std::string out;
    print(node, out);
    return out;
}

}  // namespace ast_print
