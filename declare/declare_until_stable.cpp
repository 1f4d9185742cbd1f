// Runs the declaration pass until a run declares nothing new; only the last
// run's deferred errors are reported.
#include "codegen/compile_context.h"

namespace {

// The declaration pass does not exist yet: it declares nothing and never
// asks for another run.
void declareScope(CompileContext&, model::IRObject*, const model::NodeHandle&, const model::NodeHandle&) {}

}  // namespace

void CompileContext::declareUntilStable(model::IRObject* scope, const model::NodeHandle& body,
                                        const model::NodeHandle& declaration) {
    do {
        deferred.clear();
        declareScope(*this, scope, body, declaration);
    } while (deferred.retry != 0);
    reportDeferred();
}
