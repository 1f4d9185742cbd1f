#include "model/name_string_pool.h"

namespace model {

uint64_t NameStringPool::offsetOf(std::string_view text) {
    auto found = offsets_.find(text);
    if (found != offsets_.end()) return found->second;
    const uint64_t offset = bytes_.size();
    bytes_.append(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    bytes_.pushBack(0);
    offsets_.emplace(std::string(text), offset);
    return offset;
}

}  // namespace model
