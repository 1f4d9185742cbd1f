// What the command groups of `korvo-probe model` share: the words of a line,
// the failure of a line, and the script's handles, containers and texts.
#pragma once

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "foundation/smart_ptr.h"
#include "foundation/vector.h"
#include "model/container.h"
#include "model/ir_object.h"

namespace probe {

using Words = std::vector<std::string>;

// A line that cannot be carried out.
struct Impossible {};

inline int64_t number(const std::string& text) {
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0) throw Impossible();
    return value;
}

inline std::string hex(const uint8_t* bytes, size_t size) {
    std::string out;
    char pair[3];
    for (size_t i = 0; i < size; ++i) {
        std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
        out += pair;
    }
    return out;
}

class ScriptAccess {
public:
    virtual ~ScriptAccess() = default;
    virtual qestl::SmartPtr& handle(const std::string& name) = 0;
    virtual model::IRObject* object(const std::string& name) = 0;
    virtual std::string show(const model::Operand& operand) = 0;
    virtual std::string nameOf(const qestl::SmartPtr& target) = 0;
    virtual model::Container& container(const std::string& name) = 0;
    virtual void addContainer(const std::string& name, std::unique_ptr<model::Container> made) = 0;
    // Where the script last placed the handle's record or container (0: never).
    virtual uint64_t placeOf(const std::string& name) = 0;
};

}  // namespace probe
