// The warnings about members that were declared and never used.
#include "diagnostics/diagnostics.h"
#include "model/class_object.h"
#include "model/model_context.h"

namespace model {

void Container::warnUnusedMembers(ModelContext& context) {
    if (reported) return;
    noteWrite();
    reported = 1;
    for (const qestl::SmartPtr& held : members_) {
        IRObject& member = *asObject(held);
        if ((member.flagsB & kFlagHidden) || member.unusedWarned) continue;
        member.noteWrite();
        member.unusedWarned = 1;
        const bool reportable = member.kind == kKindClass || (member.isFunction() && !member.isOverride());
        if (!(member.flagsA & kFlagUsed) && reportable && !member.name.view().starts_with("$"))
            context.reportWarning(diag::UnusedObject, member.declarationNode);
        if (ClassObject* nested = asClass(&member)) nested->dynamicMethods.warnUnusedMembers(context);
    }
}

}  // namespace model
