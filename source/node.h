// The syntax-tree node. Every construct of a parsed program is one; nodes
// live in blocks of the global node pool, are counted by their handles
// (syntax/node_handle.h) and are listed in the live-node registry.
#pragma once

#include <cstdint>

#include "foundation/qestring.h"
#include "foundation/smart_ptr.h"
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

// Called with a node's owner when the owner's release reports that no
// reference is left.
using NodeOwnerRelease = void (*)(qestl::CountedObject* owner);

class qeAbstractNode : public refableAstBase {
public:
    qeAbstractNode();
    // Over a rule match: positions from its first and last record, the doc
    // comment of the first; the file index is the caller's, not the records'.
    qeAbstractNode(uint32_t fileIndex, qeLexSyntax& engine, int start, int count, uint32_t kind);
    // A string literal over one record, with the given text.
    qeAbstractNode(const char* text, qeLexSyntax& engine, int index);
    // Places a prototype: every field, the serial and the count as they are;
    // listed nodes and the owner gain a reference.
    qeAbstractNode(const qeAbstractNode& other);
    qeAbstractNode& operator=(const qeAbstractNode&) = delete;
    ~qeAbstractNode() override;

    // Inserts the node at the front of the operands.
    void prependOperand(_KNode<qeAbstractNode> node);
    // Whether the annotation list holds an annotation of that name; a null
    // name matches an annotation whose text has no data.
    bool hasAnnotation(const char* name) const;
    // The text of the first operand of parameter `parameter` of the first
    // annotation named `name`, or null.
    const char* getAnnotationParameter(const char* name, const char* parameter) const;

    // Attaches a counted object of a later stage (a reference is taken).
    void setOwner(qestl::CountedObject* object, NodeOwnerRelease release = qestl::defaultDeleter);
    void releaseOwner();

    uint32_t kind = 0;
    qestl::qestringA text;
    qestl::qestringA docComment;
    uint64_t reserved0 = 0;
    AstNodeVector operands;
    AstNodeVector children;
    uint32_t fileIndex = 0;
    uint32_t startLine = 0, endLine = 0, startColumn = 0, endColumn = 0;
    uint32_t serial = 0;
    uint32_t reserved1 = 0;
    uint32_t textStart = 0, textEnd = 0;
    uint16_t word0 = 0, word1 = 0;
    uint64_t value0 = 0, value1 = 0;
    qestl::U32Vector values0;
    qestl::U32Vector values1;
    uint32_t flags = 0;
    qestl::CountedObject* owner = nullptr;
    NodeOwnerRelease ownerRelease = qestl::defaultDeleter;
    uint64_t ownerWord = 0;
    _KNode<qeAbstractNode> annotations;

    // The serial the next constructed node takes (after incrementing).
    static uint32_t lastSerial();
};

// Every node shares the pool's one block size.
static_assert(sizeof(qeAbstractNode) <= kNodeBlockBytes, "a syntax node must fit a pool block");
