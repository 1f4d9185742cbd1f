// The syntax-tree node. Every construct of a parsed program is one: made by
// the builders while the engine parses, kept by counted handles, read by the
// declaration pass and the compilers. Nodes live in node blocks (see
// source/ast_nodes.h for how they are made and unmade).
#pragma once

#include <cstdint>
#include <string_view>

#include "foundation/qestring.h"
#include "foundation/smart_ptr.h"
#include "foundation/vector.h"
#include "source/node_list.h"
#include "source/node_text.h"
#include "syntax/lex_syntax.h"
#include "syntax/node_handle.h"
#include "syntax/rule_ids.h"

class qeAbstractNode;
using AstNodeVector = NodeList;

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

// Bits of a node's flags word: what the builders read off the source, and
// the marks the declaration pass sets while it walks the tree (a clone made
// for a template instance starts without the marks).
struct NodeFlag {
    enum : uint32_t {
        Static = 0x1, New = 0x2, Final = 0x4, Const = 0x4, Override = 0x8, NotNilptr = 0x10,
        Protected = 0x20, Public = 0x40, AccessMask = 0x70, Annotated = 0x100, Native = 0x800,
        Cdecl = 0x1000, Stdcall = 0x2000, Fastcall = 0x4000, Pascal = 0x8000, ConventionMask = 0xF000,
        DefaultLabel = 0x800000,
        Declared = 0x02000000, Walked = 0x04000000, DeclarationMark = 0x08000000,
        Bodiless = 0x10000000, Package = 0x10000000,
        Interface = 0x20000001, Enum = 0x40000001, ByReference = 0x80000000,
    };
};

// The fields most nodes never write, kept out of the node's pool block (a
// program has millions of nodes; a few carry a doc comment, library index
// lists or an owner). Made on the first write, freed with the node.
struct NodeExtras {
    _KNode<qeAbstractNode> annotations;  // the kind-97 list written before a declaration
    qestl::qestringA docComment;  // the comments before the node's first token
    qestl::U32Vector operandIndices;  // the record indices a library lists for the operands
    qestl::U32Vector childIndices;    // and for the children
    qestl::CountedObject* owner = nullptr;
    qestl::Deleter ownerRelease = qestl::defaultDeleter;
    // What the declaration pass declared for the node (not counted: the
    // object is held by its scope).
    qestl::CountedObject* declaredObject = nullptr;
};

class qeAbstractNode : public refableAstBase {
public:
    // Kind 0, nothing set, the next serial.
    qeAbstractNode();
    // Kind 0, nothing set, serial 0: a node made again whenever a message
    // quotes a declaration of which only the place is kept
    // (model/declaration_place.h), which must not move the serials on.
    struct NoSerial {};
    explicit qeAbstractNode(NoSerial) {}
    // Over a rule match: positions from its first and last record, the doc
    // comment of the first; the file index is the argument's, not the records'.
    qeAbstractNode(uint32_t fileIndex, qeLexSyntax& engine, int start, int count, uint32_t kind);
    // A string literal over one record, with the given text.
    qeAbstractNode(const char* text, qeLexSyntax& engine, int index);
    // An empty node (next serial) at the source position of another.
    explicit qeAbstractNode(const _KNode<qeAbstractNode>& positionOf);
    // Every field, the serial and the count included; every node, list and
    // owner it refers to gains a reference.
    qeAbstractNode(const qeAbstractNode& other);
    qeAbstractNode& operator=(const qeAbstractNode&) = delete;
    ~qeAbstractNode();

    // Puts the handle in front of the operands.
    void prependOperand(_KNode<qeAbstractNode> operand);

    // Whether the annotation list holds an annotation of that name (a null
    // name stands for an annotation without a name).
    bool hasAnnotation(const char* name) const;
    // The value text of the first parameter `parameter` that has a value, in
    // the first annotation named `name`; null when there is none.
    const char* getAnnotationParameter(const char* name, const char* parameter) const;

    // Attaches a counted object of a later stage; `release` disposes of it
    // when the node's reference was its last. The previous owner is released.
    void setOwner(qestl::CountedObject* object, qestl::Deleter release = qestl::defaultDeleter);
    void releaseOwner();
    // Releases the owner and frees the side record (annotations, doc
    // comment, library indices and all): a node kept only for its position.
    void dropExtras() {
        if (hasSide_) dropExtrasRecord();
    }

    // The rarely written fields: read through `extras()` (an empty record
    // when none was made), written through `editExtras()`, which makes it.
    const NodeExtras& extras() const {
        const NodeExtras* side = record();
        return side != nullptr ? *side : kNoExtras;
    }
    NodeExtras& editExtras();
    const qestl::qestringA& docComment() const { return extras().docComment; }
    void setDocComment(const char* text) { editExtras().docComment.assign(text); }
    // Read here, not from the side record: a bare owner has none.
    qestl::CountedObject* owner() const {
        if (!hasSide_) return nullptr;
        const uintptr_t word = side();
        if ((word & kBareOwner) != 0) return bareObject(word);
        const NodeExtras* side = recordOf(word);
        return side != nullptr ? side->owner : nullptr;
    }
    // What the declaration pass declared for the node (not counted).
    qestl::CountedObject* declaredObject() const {
        if (!hasSide_) return nullptr;
        const uintptr_t word = side();
        if ((word & kBareDeclared) != 0) return bareObject(word);
        const NodeExtras* side = recordOf(word);
        return side != nullptr ? side->declaredObject : nullptr;
    }
    void setDeclaredObject(qestl::CountedObject* object) {
        // Asked of every declaration walked; most declare nothing.
        if (object != nullptr || declaredObject() != nullptr) placeDeclaredObject(object);
    }
    // The kind-97 list written before a declaration (empty for most nodes).
    const _KNode<qeAbstractNode>& annotations() const { return extras().annotations; }
    void setAnnotations(const _KNode<qeAbstractNode>& list) {
        if (list || record() != nullptr) editExtras().annotations = list;
    }

    // Replaces the text (the value may be the node's own text).
    void setText(std::string_view value) { text.set(value); }
    // Takes the other node's text (a stored text never changes).
    void shareText(const qeAbstractNode& other) { text = other.text; }

    // A node kind or a rule id: both are below 256 (a rule set is 256 bits).
    // The narrow fields fill the word the count leaves, so that a node takes
    // 64 bytes rather than 80: a field declaration makes five nodes, and the
    // blocks of a compiled body's tree serve the instructions (64 bytes each)
    // made after it.
    uint8_t kind = 0;
    uint8_t includedUnit : 1 = 0;  // 1: read from a library, part of an included unit

private:
    // Whether the node has a side word (see side()).
    uint8_t hasSide_ : 1 = 0;

public:
    uint16_t unitLevel = 0;  // the library number of an included unit
    AstNodeVector operands;
    AstNodeVector children;
    NodeText text;  // read it; write it through setText
    uint32_t fileIndex = 0;
    uint32_t startLine = 0, endLine = 0, startColumn = 0, endColumn = 0;  // 0-based
    uint32_t serial = 0;
    uint32_t textStart = 0, textEnd = 0;  // byte span in the source text
    uint32_t flags = 0;

    // See dropNextNodeReference (syntax/node_handle.h).
    refableAstBase* dropNextReference(uint64_t& cursor, bool& finished);

    // Lets go of every node's bare side word (the owner and the declared
    // object a declarator, method or class node carries alone) and gives
    // back the table of the words: for when nothing declares or compiles
    // any more, built-in nodes included. Side records stay as they are. A
    // table of fewer than kFewestSiftedWords words is left as it is.
    static void dropBareSideWords();
    static constexpr size_t kFewestSiftedWords = size_t{1} << 16;
    // Loads ahead where the side words of the node and of the nodes made
    // just after it (its operands) are kept: a walk over a body of very
    // many declarations waits for each far outside the caches otherwise.
    static void loadSideWordsNear(const qeAbstractNode* node);

private:
    static const NodeExtras kNoExtras;
    // Bit 0 of the side word: the word is the owner itself, released by the default
    // deleter, and the node has no side record. Declarators and methods
    // carry their object and nothing else; a record for it was most of what
    // a field cost besides its object, and one more cache miss to reach it.
    // Bit 1: the word is the declared object, not counted (with bit 0: the
    // owner is the declared object too). A class's node has its class as
    // both, and a record for them was a fifth of an empty class.
    static constexpr uintptr_t kBareOwner = 1;
    static constexpr uintptr_t kBareDeclared = 2;
    static constexpr uintptr_t kBareBits = kBareOwner | kBareDeclared;
    static NodeExtras* recordOf(uintptr_t word) {
        return (word & kBareBits) == 0 ? reinterpret_cast<NodeExtras*>(word) : nullptr;
    }
    static qestl::CountedObject* bareObject(uintptr_t word) {
        return reinterpret_cast<qestl::CountedObject*>(word & ~kBareBits);
    }
    NodeExtras* record() const { return hasSide_ ? recordOf(side()) : nullptr; }
    void dropExtrasRecord();
    void placeDeclaredObject(qestl::CountedObject* object);
    // The side word: null, a side record, or a bare owner or declared
    // object. Most nodes have none, and a word in each node was an eighth
    // of the tree: the words of those that have one are kept in a table by
    // the node's address (source/side_words.h), hasSide_ telling which nodes
    // to look up (once dropBareSideWords let go of a node's word, the node
    // may find none).
    uintptr_t side() const { return hasSide_ ? sideWordOf(this) : 0; }
    void setSide(uintptr_t word);
    static uintptr_t sideWordOf(const qeAbstractNode* node);
};

// Lets go of the owner of every node of the tree (annotation lists
// included), once nothing reads them any more. An owner that holds its node
// in turn (a local variable and the declaration it was made for) would keep
// both alive after the tree is dropped: no scope detaches a local.
void releaseTreeOwners(const _KNode<qeAbstractNode>& root);

// A node's kind is one byte: the largest rule id must fit it.
static_assert(RuleId::Last <= UINT8_MAX, "a rule id past one byte needs a wider node kind");

// The side word keeps two tag bits below an object's address.
static_assert(alignof(qestl::CountedObject) >= 4, "a counted object's address leaves two low bits free");

// Every node takes one block of the global pool.
static_assert(sizeof(qeAbstractNode) <= kNodeBlockBytes, "a syntax node must fit one node-pool block");
// And no more than that: a larger block is memory every node pays for.
static_assert(sizeof(qeAbstractNode) + 8 > kNodeBlockBytes, "the node-pool block is larger than a node");

// Bit 31 of a serial: the node is a clone.
inline constexpr uint32_t kCloneSerialBit = 0x80000000u;
