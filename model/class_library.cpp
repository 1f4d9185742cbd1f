// The class part of a link-library record: flags, base and template links,
// the anonymous-properties container (once, by its owner; the others by
// token), the four member tables and the template methods.
#include "model/class_object.h"
#include "model/library_io.h"

namespace model {

void LibraryReader::enterAnonymousContainer(uint64_t token, Container* container) {
    anonymousContainers_[token] = container;
    for (size_t i = 0; i < pendingLinks_.size();) {
        if (pendingLinks_[i].second == token) {
            auto* waiting = pendingLinks_[i].first.as<ClassObject>();
            waiting->shareAnonymousTable(container);
            if (waiting->rareClass().awaitedToken != 0) waiting->editRareClass().awaitedToken = 0;
            pendingLinks_.erase(pendingLinks_.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            ++i;
        }
    }
}

void LibraryReader::awaitAnonymousContainer(ClassObject* waiting, uint64_t token) {
    pendingLinks_.push_back({qestl::SmartPtr(waiting), token});
}

Container* LibraryReader::anonymousContainer(uint64_t token) const {
    auto found = anonymousContainers_.find(token);
    return found == anonymousContainers_.end() ? nullptr : found->second;
}

bool ClassObject::writeToLibrary(LibraryWriter& w) {
    if (!IRObject::writeToLibrary(w)) return false;
    qestl::ByteWriter& out = w.out;
    for (uint8_t flag : {compiled, anonymous, capturesSlots, baseMergePending, methodTablesPending})
        out.u8(flag ? 1 : 0);
    out.u32le(inheritanceAccess);
    if (!w.writeObjectRef(baseClass) || !w.writeObjectRef(rare().templateOrigin) ||
        !w.writeObjectRef(rare().builtinTemplate))
        return false;
    out.u32le(static_cast<uint32_t>(templateArguments.size()));
    for (const IRResult& argument : templateArguments)
        if (!w.writeObjectRef(argument.object)) return false;
    const bool own = ownsAnonymousTable != 0;
    Container* const anonymousProperties = anonymousTable();
    out.u8(own ? 1 : 0);
    out.u64le(anonymousProperties ? w.tokenFor(anonymousProperties) : rareClass().awaitedToken);
    if (own && !anonymousProperties->writeToLibrary(w)) return false;
    for (Container* t : {&dynamicMethods, &staticMethods(), &dynamicProperties, &staticProperties()})
        if (!t->writeToLibrary(w)) return false;
    out.u32le(static_cast<uint32_t>(rareClass().templateMethodIndex.size()));
    bool written = true;
    rareClass().templateMethodIndex.forEach([&](const std::string& key, const qestl::SmartPtr& method) {
        out.u32le(static_cast<uint32_t>(key.size()));
        out.bytes(key.data(), key.size());
        written = written && w.writeObjectRef(method);
    });
    return written;
}

bool ClassObject::readFromLibrary(uint32_t recordKind, LibraryReader& r) {
    if (!IRObject::readFromLibrary(recordKind, r)) return false;
    qestl::ByteReader& in = r.in;
    compiled = in.u8() != 0;
    anonymous = in.u8() != 0;
    capturesSlots = in.u8() != 0;
    baseMergePending = in.u8() != 0;
    methodTablesPending = in.u8() != 0;
    // Any access past the widest is as good as the widest.
    const uint32_t access = in.u32le();
    inheritanceAccess = static_cast<uint16_t>(access < UINT16_MAX ? access : UINT16_MAX);
    qestl::SmartPtr origin = rare().templateOrigin, builtin = rare().builtinTemplate;
    const bool linksRead = in.ok() && r.readObjectRef(baseClass) && r.readObjectRef(origin) && r.readObjectRef(builtin);
    if (origin.get() != rare().templateOrigin.get()) editRare().templateOrigin = origin;
    if (builtin.get() != rare().builtinTemplate.get()) editRare().builtinTemplate = builtin;
    if (!linksRead) return false;
    const uint32_t argumentCount = in.u32le();
    if (!in.ok() || !in.fitsRemaining(argumentCount, 1)) return false;
    for (uint32_t i = 0; i < argumentCount; ++i) {
        qestl::SmartPtr argument;
        if (!r.readObjectRef(argument)) return false;
        templateArguments.pushBack(IRResult(argument));
    }
    const bool own = in.u8() != 0;
    const uint64_t token = in.u64le();
    if (!in.ok()) return false;
    if (own) {
        ownsAnonymousTable = 1;
        sharedAnonymousProperties = nullptr;
        if (!anonymousTable()->readFromLibrary(r)) return false;
        r.enterAnonymousContainer(token, anonymousTable());
    } else {
        shareAnonymousTable(r.anonymousContainer(token));
        // A base the library does not write (a built-in class, an instance
        // of a built-in template made again by the reader) brings its own.
        const IRObject* base = asObject(baseClass);
        ClassObject* builtinBase = base != nullptr && base->kind == kKindClass &&
                                           ((base->flagsB & kFlagByBuiltinId) || base->rare().builtinTemplate)
                                       ? const_cast<ClassObject*>(static_cast<const ClassObject*>(base))
                                       : nullptr;
        if (sharedAnonymousProperties == nullptr && builtinBase != nullptr && builtinBase->writesAnonymousTable()) {
            sharedAnonymousProperties = builtinBase->anonymousTable();
            // Classes derived from this one name the same container.
            r.enterAnonymousContainer(token, sharedAnonymousProperties);
        }
        if (sharedAnonymousProperties == nullptr) {
            editRareClass().awaitedToken = token;
            r.awaitAnonymousContainer(this, token);
        }
    }
    for (Container* t : {&dynamicMethods, &staticMethods(), &dynamicProperties, &staticProperties()})
        if (!t->readFromLibrary(r)) return false;
    const uint32_t count = in.u32le();
    if (!in.ok() || !in.fitsRemaining(count, 8)) return false;
    for (uint32_t i = 0; i < count; ++i) {
        // The key length is unsigned and must fit the bytes left.
        const uint32_t length = in.u32le();
        if (!in.ok() || length >= in.size() || !in.fitsRemaining(length, 1)) return false;
        const uint8_t* key = in.take(length);
        size_t keyLength = 0;
        while (keyLength < length && key[keyLength] != 0) ++keyLength;
        qestl::SmartPtr method;
        if (!r.readObjectRef(method)) return false;
        editRareClass().templateMethodIndex.insert(std::string_view(reinterpret_cast<const char*>(key), keyLength),
                                                   method);
        r.templateMethodsRead = true;
    }
    return true;
}

}  // namespace model
