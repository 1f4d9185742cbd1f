#include "model/image_heap.h"

#include "model/opcodes.h"

namespace model {

cbHeap::cbHeap() : Container(kImageHeap, kHeapShape), record(kOpHeap, 0) {}

cbHeap::~cbHeap() { record.detach(); }

}  // namespace model
