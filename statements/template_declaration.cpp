// A template class met by the compile walk. The declaration pass declares
// every template class outside method bodies; one it has not (inside a
// body) is declared here, in the innermost scope.
#include "codegen/compile_context.h"
#include "diagnostics/diagnostics.h"
#include "model/declaration_views.h"
#include "model/template_class.h"
#include "statements/compile_walk.h"

// The template class declaration (a TemplateClass node).
uint32_t compileTemplateDeclaration(CompileContext& context, const StatementNode& node) {
    if (node->owner() != nullptr) return 0;
    qestl::SmartPtr made = model::adoptLive(new model::TemplateClassObject(context.builtins().classType));
    auto* templ = static_cast<model::TemplateClassObject*>(model::asObject(made));
    templ->initFromNode(node);
    if (const ScopeRecord* record = context.lookup().scopes().innermost(); record != nullptr && record->object)
        templ->setOwner(model::IRResult(record->object));
    templ->buildLinkName();
    const bool isStatic = (node->flags & NodeFlag::Static) != 0;
    if (context.registerClass(templ->displayName().view(), made, true, isStatic).kind == model::kErrorOperand) {
        // The declaration pass may have deferred the same refusal.
        context.reportErrorOnce(diag::DuplicateObject, node);
        return 0;
    }
    model::bindObjectToNode(node, templ);
    return 0;
}
