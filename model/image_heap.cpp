#include "model/image_heap.h"

#include "model/opcodes.h"

namespace model {

cbHeap::cbHeap() : Container(kImageHeap), record(kOpHeap, 0) {}

cbHeap::~cbHeap() { record.detach(); }

void cbHeap::clear() {
    Container::clear();
    record.detach();
}

}  // namespace model
