#include "image/image_debug.h"

#include "codegen/compile_context.h"
#include "foundation/path.h"

namespace {

std::string text(const qestl::qestringA& value) { return std::string(value.c_str(), value.length()); }

void collectLines(const CompileContext& context, const qestl::SmartPtrVector& list, DebugRecord& record) {
    // A function's instructions follow each other: its record is looked up
    // once per run of them.
    const qestl::CountedObject* lastOwner = nullptr;
    uint64_t owner = kNoDebugOwner;
    for (const qestl::SmartPtr& held : list) {
        const model::cbircode& instruction = *held.as<model::cbircode>();
        if (!instruction.sourceNode) continue;
        if (instruction.owner.get() != lastOwner || !lastOwner) {
            lastOwner = instruction.owner.get();
            owner = kNoDebugOwner;
            if (instruction.owner) {
                const codegen::FunctionDebugRecord* function = context.tables().debugInfo().find(
                    model::asObject(instruction.owner));
                // The owner is named by its function object's own address.
                if (function != nullptr) owner = model::asObject(function->function)->address();
            }
        }
        const qeAbstractNode& node = *instruction.sourceNode;
        record.lines.push_back({instruction.address(), node.fileIndex, node.startLine, node.startColumn, owner});
    }
}

}  // namespace

void collectDebugRecord(CompileContext& context, DebugRecord& record) {
    for (uint32_t i = 0; i < context.project().fileCount(); ++i) {
        qestl::qestringA path = qestl::narrow(context.project().filePath(i));
        qestl::normalisePath(path);
        record.files.push_back(text(path));
    }
    for (const qestl::SmartPtr& held : context.heap(model::ModelContext::kGlobals).members()) {
        const model::IRObject& member = *model::asObject(held);
        record.variables.push_back({member.address(), text(member.name)});
    }
    collectLines(context, context.emitter().list(kMainList), record);
    collectLines(context, context.emitter().list(kMemberCodeList), record);
    for (const auto& [serial, function] : context.tables().debugInfo().records()) {
        model::IRObject& object = *model::asObject(function.function);
        object.buildLinkName();
        DebugFunctionRecord out;
        out.address = function.codeRecord ? function.codeRecord.as<model::cbircode>()->address() : kNoDebugOwner;
        out.name = text(object.name);
        out.linkName = text(object.linkName());
        out.frameNames = function.frameNames;
        record.functions.push_back(std::move(out));
    }
}
