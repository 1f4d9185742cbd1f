// JSON document model: a reference-counted tree of list nodes and value
// records, its parser, its builders and its printer. The compiler reads its
// side files (.version, .kdef, language mappings, string lists) through it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qestl {
template <typename Unit> class qestring;
}

// Deepest nesting of arrays and objects that the parser builds and the
// printer walks. Side files are shallow; the bound keeps a hostile file from
// exhausting the stack.
inline constexpr int kJsonMaxDepth = 512;

enum JsonKind : int32_t {
    kJsonFalse = 0,
    kJsonTrue = 1,
    kJsonNull = 2,
    kJsonNumber = 3,
    kJsonString = 4,
    kJsonArray = 5,
    kJsonObject = 6,
};

// Bits of JsonValue::type above the kind byte.
inline constexpr int32_t kJsonBorrowedChildren = 0x100;  // children and string not released with the value
inline constexpr int32_t kJsonBorrowedKey = 0x200;       // key not released with the value

struct JsonValue;

// One link of a member chain; the value record holds the content.
struct JsonNode {
    JsonNode* next;
    JsonNode* prev;
    JsonValue* value;
    uint8_t visited;  // mark of the cycle check, 0 outside it
};

struct JsonValue {
    JsonNode* child;  // first member of an array or object
    int32_t type;     // kind in the low byte, borrow bits above
    char* string;     // kind 4: terminated UTF-8 text
    int64_t integer;  // kind 3: the number truncated toward zero; 1 for true
    double number;    // kind 3
    char* key;        // members of objects
};

inline int jsonKind(const JsonValue* value) { return value->type & 0xFF; }

// Every allocation carries an 8-byte prefix whose first 32 bits are an atomic
// reference count starting at 1. Both return or accept the address behind it.
void* jsonAlloc(size_t bytes);
void jsonFree(void* block);

// The count in the prefix of a jsonAlloc block.
int32_t jsonRefCount(const void* block);
void jsonRetain(void* block);

// Parses one value; text behind it is ignored. The text ends at its length or
// at its first 0 byte, whichever comes first. Null for an invalid document.
JsonNode* parseJsonText(const char* text, size_t length);
JsonNode* parseJsonText(const char* text);

// Releases a chain of nodes starting at node (null is ignored).
void jsonRelease(JsonNode* node);

// A new string node (count 1) holding a copy of text; null when an
// allocation fails.
JsonNode* jsonCreateString(const char* text);
// Gives item a copy of key (freeing its old one) and appends it as the last
// member of object. A null item does nothing.
void jsonAddItemToObject(JsonNode* object, const char* key, JsonNode* item);

// First member whose key equals name, letters compared without regard to case.
JsonNode* jsonGetObjectItem(const JsonNode* object, const char* name);

// Prints a value into a new jsonAlloc'd terminated text (null on failure: an
// unknown kind, a member without key, nesting deeper than kJsonMaxDepth).
// The caller holds the print lock; cbjson::toText takes it.
char* jsonPrintValue(const JsonNode* node, int depth, bool formatted);

// True when some node is reachable twice from node; leaves no marks behind.
bool jsonHasCycle(JsonNode* node);

// Owns one tree and releases it with itself.
class cbjsonNode {
public:
    cbjsonNode() = default;
    explicit cbjsonNode(JsonNode* root) : root_(root) {}
    cbjsonNode(const cbjsonNode&) = delete;
    cbjsonNode& operator=(const cbjsonNode&) = delete;
    virtual ~cbjsonNode();

    JsonNode* root() const { return root_; }
    // Takes over a new root, releasing the old one.
    void reset(JsonNode* root = nullptr);
    // Gives up the root without releasing it.
    JsonNode* detach();

protected:
    JsonNode* root_ = nullptr;
};

class cbjson : public cbjsonNode {
public:
    using cbjsonNode::cbjsonNode;

    // Parses text into this document; false (document unchanged) when invalid.
    bool parse(const char* text, size_t length);

    // Prints the whole tree formatted into output. A tree with a cycle, or one
    // that fails to print, leaves output unchanged.
    void toText(qestl::qestring<char>& output) const;
};
