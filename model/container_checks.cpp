// The warnings about members that were declared and never used.
#include "diagnostics/diagnostics.h"
#include "foundation/look_ahead.h"
#include "model/class_object.h"
#include "model/model_context.h"

namespace model {
namespace {

// The heap of a large program lists every class and its holder, far out of
// the caches, and the walk waited for each object and then for the method
// table of each class in turn: what it reads of an object past its first
// line is asked for some steps ahead, and a few steps later, of a class, the
// head of its method table, its name and its declaration
// (bench/hostile_shapes.py one_method_classes).
struct WarnedLines {
    void operator()(cbircode& record) const {
        const char* bytes = reinterpret_cast<const char*>(&record);
        qestl::touch(bytes + 64);
        qestl::touch(bytes + 128);
    }
    void targets(cbircode& record) const {
        if (isClassHolder(record)) return;
        ClassObject* nested = asClass(&static_cast<IRObject&>(record));
        if (nested == nullptr) return;
        const char* table = reinterpret_cast<const char*>(&nested->dynamicMethods);
        qestl::touch(table);
        qestl::touch(table + sizeof(Container) - 1);
        qestl::touch(nested->name.c_str());
        qestl::touch(nested->declarationNode.get());
    }
};

}  // namespace

void Container::warnUnusedMembers(ModelContext& context) {
    if (reported) return;
    noteWrite();
    reported = 1;
    forEachRecord(
        members_,
        [&](cbircode& record) {
            if (isClassHolder(record)) return;
            IRObject& member = static_cast<IRObject&>(record);
            if ((member.flagsB & kFlagHidden) || (member.flagsC & kFlagUnusedWarned) != 0) return;
            member.noteWrite();
            member.flagsC |= kFlagUnusedWarned;
            const bool reportable = member.kind == kKindClass || (member.isFunction() && !member.isOverride());
            if (!(member.flagsA & kFlagUsed) && reportable && !member.name.view().starts_with("$"))
                context.reportWarning(diag::UnusedObject, member.declarationNode.handle());
            if (ClassObject* nested = asClass(&member)) nested->dynamicMethods.warnUnusedMembers(context);
        },
        WarnedLines());
}

}  // namespace model
