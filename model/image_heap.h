// The global data of a compilation: globals and constants, static members of
// built-in classes, class holders and classes. Each heap carries its own
// "HEAP" header record.
#pragma once

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
};

}  // namespace model
