#include "model/library_io.h"

#include <cstring>

#include "model/array_object.h"
#include "model/function_object.h"
#include "model/ir_object.h"

namespace model {

void releaseReadObject(const qestl::SmartPtr& object) {
    IRObject* o = asObject(object);
    if (o == nullptr) return;
    if (auto* array = dynamic_cast<ArrayObject*>(o)) {
        array->releaseAtTeardown();
    } else {
        object.as<cbircode>()->detach();
    }
    o->ownerResult.clear();
    o->templateArguments.clear();
    if (auto* function = dynamic_cast<FunctionObject*>(o); function != nullptr && function->exceptions.made())
        function->exceptions.edit().throwsSet.clear();
}

uint64_t LibraryWriter::identityOf(const IRObject& object) { return object.identity(); }

bool readLengthString(LibraryReader& reader, qestl::qestringA& text) {
    // Unsigned, and against the bytes left: a length read as signed would let
    // 0xFFFFFFFF through and size a huge string.
    const uint32_t length = reader.in.u32le();
    if (!reader.in.ok() || length > reader.in.remaining()) return false;
    const uint8_t* bytes = reader.in.take(length);
    if (bytes == nullptr) return false;
    const void* nul = length ? std::memchr(bytes, 0, length) : nullptr;
    const size_t used = nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - bytes) : length;
    text.assign(reinterpret_cast<const char*>(bytes), used);
    return true;
}

}  // namespace model
