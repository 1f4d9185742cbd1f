#include "image/listing_records.h"

#include <utility>

#include "foundation/byte_io.h"
#include "image/image_header.h"
#include "model/opcodes.h"
#include "model/record_dumps.h"

uint64_t listTableRecord(const uint8_t* image, uint64_t size, uint64_t at, uint32_t opcode, std::string& out,
                         std::function<void(std::string&)> handOn) {
    bool outside = false;
    model::ImageView view;
    view.data = image;
    view.size = size;
    view.handOn = std::move(handOn);
    // A name that is not inside the image is damage, not an empty name.
    view.textOutside = [&outside](uint64_t, uint64_t) {
        outside = true;
        return std::string();
    };
    std::string& text = out;
    uint64_t next = at;
    if (opcode == model::kOpHeap) {
        // The record's word, then the padding whose first byte is its length.
        const uint64_t padding = at + 4;
        if (padding >= size) return at;
        const uint8_t length = image[padding];
        if (length == 0) return at;
        text += model::findOpcode(opcode)->mnemonic;
        text += '\n';
        const uint64_t members = padding + length;
        next = model::dumpContainer(text, view, members, "HEAP", false);
        if (next == members) next = at;
    } else if (opcode == model::kOpClassRecord) {
        next = model::dumpClassObjectRecord(text, view, at);
    } else {
        text += model::findOpcode(opcode)->mnemonic;
        text += '\n';
        next = model::dumpImportTable(text, view, at);
    }
    return outside ? at : next;
}
