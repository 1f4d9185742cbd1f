// Creation serials: every counted object's identity, in the order objects
// were made. An identity decides orders and names in outputs, where an
// address never may. The count is one for the whole process: the built-in
// catalogue, made once and lent to each compilation, shares its space of
// identities with the objects every compilation makes.
#pragma once

#include <cstdint>

namespace qestl {

namespace creation_serials_detail {
inline uint64_t gLastSerial = 0;
}

inline uint64_t nextCreationSerial() { return ++creation_serials_detail::gLastSerial; }

// The last serial handed out; a restart from it hands out the same ones
// again (a trial whose objects are dropped leaves no gap).
inline uint64_t creationSerialMark() { return creation_serials_detail::gLastSerial; }
inline void restartCreationSerialsAt(uint64_t mark) { creation_serials_detail::gLastSerial = mark; }

}  // namespace qestl
