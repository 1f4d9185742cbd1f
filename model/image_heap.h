// The global data of a compilation: globals and constants, static members of
// built-in classes, class holders and classes. Each heap carries its own
// "HEAP" header record.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "model/container.h"
#include "model/ircode.h"

namespace model {

class cbHeap : public Container {
public:
    // Container::clear empties the members and releases the header record's
    // operands; the heap stays usable, kind 10.
    cbHeap();
    ~cbHeap();

    cbircode record;
    // While the name index is let go of (Container::releaseIndex): by
    // member index, in order, the key of each member listed under another
    // than its own name (a static field's "$<class>@<field>"), and the
    // empty key of each left out of it other than a class holder.
    std::vector<std::pair<uint32_t, std::string>> releasedKeys;
};

}  // namespace model
