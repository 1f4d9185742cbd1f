// Interim syntax-tree node: what the source processor needs until the pooled
// node with its full layout lands. Same names as the final one.
#pragma once

#include <cstdint>

#include "foundation/qestring.h"
#include "foundation/vector.h"
#include "syntax/lex_syntax.h"
#include "syntax/node_handle.h"

class qeAbstractNode;
using AstNodeVector = qestl::qevector<_KNode<qeAbstractNode>>;

struct NodeKind {
    enum : uint32_t {
        Name = 8, StringLiteral = 9, CharLiteral = 10, ArrayInitializer = 11, IntegerLiteral = 12,
        FloatLiteral = 13, If = 14, Conditional = 15, For = 16, Cast = 17, VariableDeclaration = 18,
        Declare = 19, SourceUnit = 20, Method = 23, Operator = 25, FunctionDeclaration = 26,
        NativeFunction = 27, Using = 29, Class = 31, NewWithBody = 33, TemplateClass = 34, While = 36,
        Call = 38, Expression = 40, GenericType = 42, Try = 43, Catch = 44, CatchClause = 45,
        BoolLiteral = 47, Break = 48, Continue = 49, Return = 50, Throw = 51, Subscript = 52, List = 53,
        Switch = 55, Group = 56, DoWhile = 58, Empty = 61, Block = 63, NativeImport = 64,
        Synchronized = 66, SynchronizedRead = 67, SynchronizedWrite = 68, DynamicNativeImport = 84,
        EnumItem = 87, DriverUnit = 88, AccessModifier = 90, ThrowsType = 91,
        NewArrayWithInitializer = 92, ForEach = 93, ForTo = 94, Annotation = 96, AnnotationList = 97,
    };
};

class qeAbstractNode : public refableAstBase {
public:
    qeAbstractNode();
    // Over a rule match: positions from its first and last record, the doc
    // comment of the first.
    qeAbstractNode(uint32_t fileIndex, qeLexSyntax& engine, int start, int count, uint32_t kind);
    qeAbstractNode(const qeAbstractNode& other) = default;
    ~qeAbstractNode() override = default;

    uint32_t kind = 0;
    qestl::qestringA text;
    qestl::qestringA docComment;
    AstNodeVector operands;
    AstNodeVector children;
    uint32_t fileIndex = 0;
    uint32_t startLine = 0, endLine = 0, startColumn = 0, endColumn = 0;
    uint32_t serial = 0;
    uint32_t textStart = 0, textEnd = 0;
    uint32_t flags = 0;
    _KNode<qeAbstractNode> annotations;
};
