// Allocation, release and building of JSON trees.
#include "foundation/json_detail.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "foundation/ascii_case.h"

namespace {

constexpr size_t kPrefix = 8;

int32_t* countOf(const void* block) {
    return reinterpret_cast<int32_t*>(static_cast<char*>(const_cast<void*>(block)) - kPrefix);
}

// Subtracts one from the count of a block and returns the new count.
int32_t dropReference(void* block) {
    return std::atomic_ref<int32_t>(*countOf(block)).fetch_sub(1, std::memory_order_acq_rel) - 1;
}

char* copyText(const char* text) {
    size_t length = std::strlen(text);
    char* copy = static_cast<char*>(jsonAlloc(length + 1));
    if (copy) std::memcpy(copy, text, length + 1);
    return copy;
}

}  // namespace

void* jsonAlloc(size_t bytes) {
    if (bytes > SIZE_MAX - kPrefix) return nullptr;
    char* block = static_cast<char*>(std::malloc(bytes + kPrefix));
    if (!block) return nullptr;
    std::memset(block, 0, kPrefix);
    *reinterpret_cast<int32_t*>(block) = 1;
    return block + kPrefix;
}

void jsonFree(void* block) {
    if (block) std::free(static_cast<char*>(block) - kPrefix);
}

int32_t jsonRefCount(const void* block) {
    return std::atomic_ref<int32_t>(*countOf(block)).load(std::memory_order_acquire);
}

void jsonRetain(void* block) {
    std::atomic_ref<int32_t>(*countOf(block)).fetch_add(1, std::memory_order_relaxed);
}

void jsonRelease(JsonNode* node) {
    // Member chains go on a work list instead of the call stack, so a tree of
    // any depth is released without recursion.
    std::vector<JsonNode*> chains;
    if (node) chains.push_back(node);
    while (!chains.empty()) {
        JsonNode* current = chains.back();
        chains.pop_back();
        while (current) {
            if (dropReference(current) > 0) break;  // still referenced: the rest of the chain too
            JsonNode* next = current->next;
            JsonValue* value = current->value;
            if (value && dropReference(value) == 0) {
                if (!(value->type & kJsonBorrowedChildren)) {
                    if (value->child) chains.push_back(value->child);
                    jsonFree(value->string);
                }
                if (!(value->type & kJsonBorrowedKey)) jsonFree(value->key);
                jsonFree(value);
            }
            jsonFree(current);
            current = next;
        }
    }
}

JsonNode* jsonNewNode(int32_t kind) {
    auto* node = static_cast<JsonNode*>(jsonAlloc(sizeof(JsonNode)));
    if (!node) return nullptr;
    auto* value = static_cast<JsonValue*>(jsonAlloc(sizeof(JsonValue)));
    if (!value) {
        jsonFree(node);
        return nullptr;
    }
    std::memset(node, 0, sizeof *node);
    std::memset(value, 0, sizeof *value);
    value->type = kind;
    node->value = value;
    return node;
}

JsonNode* jsonCreateString(const char* text) {
    JsonNode* node = jsonNewNode(kJsonString);
    if (!node) return nullptr;
    node->value->string = copyText(text ? text : "");
    if (!node->value->string) {
        jsonRelease(node);
        return nullptr;
    }
    return node;
}

void jsonAddItemToObject(JsonNode* object, const char* key, JsonNode* item) {
    if (!item || !object || !item->value || !object->value) return;
    JsonValue* itemValue = item->value;
    if (!(itemValue->type & kJsonBorrowedKey)) jsonFree(itemValue->key);
    itemValue->type &= ~kJsonBorrowedKey;
    itemValue->key = copyText(key ? key : "");
    JsonNode* last = object->value->child;
    if (!last) {
        object->value->child = item;
        return;
    }
    while (last->next) last = last->next;
    last->next = item;
    item->prev = last;
}

JsonNode* jsonGetObjectItem(const JsonNode* object, const char* name) {
    if (!object || !object->value || !name) return nullptr;
    for (JsonNode* member = object->value->child; member; member = member->next) {
        const char* key = member->value ? member->value->key : nullptr;
        if (key && qestl::equalIgnoringAsciiCase(key, name)) return member;
    }
    return nullptr;
}

cbjsonNode::~cbjsonNode() { reset(); }

void cbjsonNode::reset(JsonNode* root) {
    JsonNode* old = root_;
    root_ = root;
    jsonRelease(old);
}

JsonNode* cbjsonNode::detach() {
    JsonNode* root = root_;
    root_ = nullptr;
    return root;
}
