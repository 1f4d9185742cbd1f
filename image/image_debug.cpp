#include "image/image_debug.h"

#include <functional>
#include <span>
#include <vector>

#include "codegen/compile_context.h"
#include "foundation/look_ahead.h"
#include "foundation/path.h"

namespace {

std::string text(const qestl::qestringA& value) { return std::string(value.c_str(), value.length()); }

// What a global's entry reads besides the record: its name.
struct NameOf {
    const void* operator()(const model::cbircode& global) const { return model::memberName(global).data(); }
};

// Below this many globals the records lie in the caches: asked for ahead,
// they only cost.
constexpr size_t kManyGlobals = 4096;

// Records gathered into runs for the record's writer, which takes them a
// run at a time: none of the debug record's lists is held whole.
template <typename Record>
class Runs {
public:
    using Take = std::function<void(std::span<const Record>)>;
    explicit Runs(const Take& take) : take_(take) {}
    void add(const Record& record) {
        run_[held_++] = record;
        if (held_ == kRun) flush();
    }
    void flush() {
        if (held_ != 0) take_(std::span<const Record>(run_, held_));
        held_ = 0;
    }

private:
    static constexpr size_t kRun = 256;
    const Take& take_;
    Record run_[kRun];
    size_t held_ = 0;
};
using LineRuns = Runs<DebugLineRecord>;

// Hands on the lines of the instructions of the list that have a source
// position, in order, to `lines`. Reads only what the encoding of the image leaves as it
// is: the records' addresses, sources and owners, the functions' table.
// Most instructions cost this walk a few instructions each, so that the
// distances of the record walk ahead are too short for memory to answer in
// a long list: the records and their nodes are asked for further ahead. A
// list the last cache holds, as the code walks do, asks for nothing.
void noteLines(const CompileContext& context, const qestl::SmartPtrVector& list, LineRuns& lines) {
    constexpr size_t kRecordsAhead = 48, kNodesAhead = 24;
    // A function's instructions follow each other: its record is looked up
    // once per run of them.
    const qestl::CountedObject* lastOwner = nullptr;
    uint64_t owner = kNoDebugOwner;
    const size_t count = list.size();
    const size_t askedUntil = count < model::kManyCodeRecords ? 0 : count;
    const qestl::SmartPtr* const records = list.begin();
    for (size_t i = 0; i < count; ++i) {
        if (i + kRecordsAhead < askedUntil) qestl::touch(records[i + kRecordsAhead].get());
        if (i + kNodesAhead < askedUntil)
            qestl::touch(records[i + kNodesAhead].as<model::cbircode>()->sourceNode.node().get());
        const model::cbircode& instruction = *records[i].as<model::cbircode>();
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
        const model::SourcePlace& place = instruction.sourceNode;
        lines.add(DebugLineRecord{instruction.address(), place.fileIndex(), place.line(), place.column(), owner});
    }
}

}  // namespace

void collectDebugRecord(CompileContext& context, DebugRecord& record) {
    for (uint32_t i = 0; i < context.project().fileCount(); ++i) {
        qestl::qestringA path = qestl::narrow(context.project().filePath(i));
        qestl::normalisePath(path);
        record.files.push_back(text(path));
    }
    const model::Container::MemberList& globals = context.heap(model::ModelContext::kGlobals).members();
    // Only the records are read here: their names' lengths lie in them.
    record.variableCount = globals.size();
    if (globals.size() < kManyGlobals) {
        for (const qestl::SmartPtr& global : globals) record.variableNameBytes += model::memberName(global).size();
    } else {
        // A few instructions for each global: the record's head, which
        // tells a class holder, and its name are asked for far enough ahead
        // for memory to answer. The name lies within the first hundred bytes
        // of an object and of a holder.
        constexpr size_t kAhead = 32;
        constexpr size_t kNameEnd = 96;
        const size_t count = globals.size();
        for (size_t i = 0; i < count; ++i) {
            if (i + kAhead < count) {
                const char* head = reinterpret_cast<const char*>(globals[i + kAhead].get());
                qestl::touch(head);
                qestl::touch(head + kNameEnd - 1);
            }
            record.variableNameBytes += model::memberName(globals[i]).size();
        }
    }
    record.forEachVariableRun = [&globals](const std::function<void(DebugRecord::VariableRun)>& take) {
        Runs<DebugVariableRecord> run(take);
        auto add = [&run](const model::cbircode& global) { run.add({global.address(), model::memberName(global)}); };
        if (globals.size() < kManyGlobals) {
            for (const qestl::SmartPtr& global : globals) add(*global.as<model::cbircode>());
        } else {
            model::forEachRecord(globals, add, NameOf());
        }
        run.flush();
    };
    const CompileContext& source = context;
    // Counted as the records were placed.
    record.lineCount = context.tables().linedRecords();
    record.forEachLineRun = [&source](const std::function<void(DebugRecord::LineRun)>& take) {
        LineRuns lines(take);
        noteLines(source, source.emitter().list(kMainList), lines);
        noteLines(source, source.emitter().list(kMemberCodeList), lines);
        lines.flush();
    };
    // The functions and their first records lie far apart in a large
    // program: each is asked for some steps before it is read. Their link
    // names are made now, before the layout measures the record.
    constexpr size_t kAhead = 8;
    const codegen::DebugInfoTable& table = context.tables().debugInfo();
    uint64_t functionCount = 0;
    table.forEachInCreationOrder(kAhead, [&functionCount](const codegen::FunctionDebugRecord& function,
                                                          const codegen::FunctionDebugRecord* later) {
        if (later != nullptr) qestl::touch(later->function.get());
        model::asObject(function.function)->buildLinkName();
        ++functionCount;
    });
    record.functionCount = functionCount;
    record.forEachFunctionRun = [&table](const std::function<void(DebugRecord::FunctionRun)>& take) {
        Runs<DebugFunctionRecord> run(take);
        table.forEachInCreationOrder(kAhead, [&](const codegen::FunctionDebugRecord& function,
                                                 const codegen::FunctionDebugRecord* later) {
            if (later != nullptr) {
                qestl::touch(later->function.get());
                qestl::touch(later->codeRecord.get());
            }
            const model::IRObject& object = *model::asObject(function.function);
            DebugFunctionRecord out;
            out.address = function.codeRecord ? function.codeRecord.as<model::cbircode>()->address() : kNoDebugOwner;
            out.name = object.name.view();
            out.linkName = object.linkName().view();
            out.frameNames = table.frameNames(function);
            run.add(out);
        });
        run.flush();
    };
}
