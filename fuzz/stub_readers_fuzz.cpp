// Any bytes as a runtime stub, through the three readers: the ELF and Mach-O
// writers place a small image into it, the PE resource editor loads its
// resources, adds the image and rebuilds the directory.
#include <cstddef>
#include <cstdint>

#include "executable/pe_resource_editor.h"
#include "executable/stub_writers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const uint8_t kImage[70] = {'K', 'B', '!', ' '};
    qestl::ByteVector stub;
    stub.appendRange(data, size);
    qestl::ByteVector out;
    if (patchElfStub(stub, kImage, sizeof kImage, true, out) == kStubWritten && out.size() < sizeof kImage)
        __builtin_trap();
    if (patchMachOStub(stub, kImage, sizeof kImage, false, out) == kStubWritten && out.size() < size + sizeof kImage)
        __builtin_trap();
    PeResourceEditor editor;
    if (editor.open(stub) == PeResourceEditor::kOpened &&
        editor.add(0, u"VMDATA", 666, nullptr, 0, kImage, sizeof kImage) == 1) {
        editor.write();
    }
    return 0;
}
