// JSON tree to text, plain or formatted with tabs.
#include "foundation/json_detail.h"
#include "foundation/qestring.h"
#include "platform/locks.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Serialises printing: the cycle check marks the tree it walks.
platform::SlimRwLock printLock;

void printNumber(const JsonValue* value, std::string& out) {
    double number = value->number;
    if (number == 0) {
        out += '0';
        return;
    }
    char buffer[128];
    int written;
    if (std::fabs(static_cast<double>(value->integer) - number) <= DBL_EPSILON && number <= 2147483647.0 &&
        number >= -2147483648.0) {
        written = std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(value->integer));
    } else if (std::fabs(std::floor(number) - number) <= DBL_EPSILON && std::fabs(number) < 1e60) {
        written = std::snprintf(buffer, sizeof buffer, "%.0f", number);
    } else if (std::fabs(number) < 1.0e-6 || std::fabs(number) > 1.0e9) {
        written = std::snprintf(buffer, sizeof buffer, "%e", number);
    } else {
        written = std::snprintf(buffer, sizeof buffer, "%f", number);
    }
    if (written > 0) out.append(buffer, static_cast<size_t>(written) < sizeof buffer ? written : sizeof buffer - 1);
}

void printString(const char* text, std::string& out) {
    out += '"';
    for (const char* at = text ? text : ""; *at; ++at) {
        unsigned char c = static_cast<unsigned char>(*at);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case 8: out += "\\b"; break;
            case 12: out += "\\f"; break;
            case 10: out += "\\n"; break;
            case 13: out += "\\r"; break;
            case 9: out += "\\t"; break;
            default:
                if (c < 32) {
                    char escape[8];
                    std::snprintf(escape, sizeof escape, "\\u%04x", c);
                    out += escape;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    out += '"';
}

bool printValue(const JsonNode* node, int depth, bool formatted, std::string& out);

bool printArray(const JsonValue* value, int depth, bool formatted, std::string& out) {
    out += '[';
    for (const JsonNode* member = value->child; member; member = member->next) {
        if (member != value->child) out += formatted ? ", " : ",";
        if (!printValue(member, depth + 1, formatted, out)) return false;
    }
    out += ']';
    return true;
}

bool printObject(const JsonValue* value, int depth, bool formatted, std::string& out) {
    out += '{';
    if (!value->child) {
        if (formatted) {
            out += '\n';
            if (depth > 1) out.append(static_cast<size_t>(depth - 1), '\t');
        }
        out += '}';
        return true;
    }
    if (formatted) out += '\n';
    for (const JsonNode* member = value->child; member; member = member->next) {
        if (!member->value || !member->value->key) return false;
        if (formatted) out.append(static_cast<size_t>(depth + 1), '\t');
        printString(member->value->key, out);
        out += ':';
        if (formatted) out += '\t';
        if (!printValue(member, depth + 1, formatted, out)) return false;
        if (member->next) out += ',';
        if (formatted) out += '\n';
    }
    if (formatted) out.append(static_cast<size_t>(depth), '\t');
    out += '}';
    return true;
}

bool printValue(const JsonNode* node, int depth, bool formatted, std::string& out) {
    const JsonValue* value = node ? node->value : nullptr;
    if (!value) return false;
    switch (jsonKind(value)) {
        case kJsonFalse: out += "false"; return true;
        case kJsonTrue: out += "true"; return true;
        case kJsonNull: out += "null"; return true;
        case kJsonNumber: printNumber(value, out); return true;
        case kJsonString: printString(value->string, out); return true;
        case kJsonArray:
            return depth < kJsonMaxDepth && printArray(value, depth, formatted, out);
        case kJsonObject:
            return depth < kJsonMaxDepth && printObject(value, depth, formatted, out);
        default: return false;
    }
}

// Marks every node reachable from node; a node found marked already is a
// cycle (or a node shared between two places). Marked nodes are collected so
// that they can be cleared whatever the shape of the tree.
bool findCycle(JsonNode* node, int depth, std::vector<JsonNode*>& marked) {
    if (depth > kJsonMaxDepth) return true;
    for (; node; node = node->next) {
        if (node->visited) return true;
        node->visited = 1;
        marked.push_back(node);
        if (node->value && findCycle(node->value->child, depth + 1, marked)) return true;
    }
    return false;
}

}  // namespace

char* jsonPrintValue(const JsonNode* node, int depth, bool formatted) {
    std::string text;
    if (!printValue(node, depth, formatted, text)) return nullptr;
    char* result = static_cast<char*>(jsonAlloc(text.size() + 1));
    if (result) std::memcpy(result, text.c_str(), text.size() + 1);
    return result;
}

bool jsonHasCycle(JsonNode* node) {
    std::vector<JsonNode*> marked;
    bool cycle = findCycle(node, 0, marked);
    for (JsonNode* visited : marked) visited->visited = 0;
    return cycle;
}

bool cbjson::parse(const char* text, size_t length) {
    JsonNode* root = parseJsonText(text, length);
    if (!root) return false;
    reset(root);
    return true;
}

void cbjson::toText(qestl::qestringA& output) const {
    char* text = nullptr;
    printLock.acquireExclusive();
    if (!jsonHasCycle(root_)) text = jsonPrintValue(root_, 0, true);
    printLock.releaseExclusive();
    if (!text) return;
    output.assign(text, std::strlen(text));
    jsonFree(text);
}
