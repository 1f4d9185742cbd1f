// Construction and teardown of the compile context, its small operations and
// what the model asks of it.
#include "codegen/compile_context.h"

#include "codegen/instructions.h"
#include "diagnostics/diagnostics.h"
#include "foundation/json.h"
#include "foundation/text_number.h"
#include "model/array_object.h"
#include "model/function_object.h"
#include "model/opcodes.h"
#include "options/compile_options.h"

using model::IRObject;
using model::IRResult;
using model::Operand;
using qestl::SmartPtr;

CompileContext::CompileContext() { keepCandidatesIn(lookup_.resultsInPlace()); }

CompileContext::~CompileContext() { reset(); }

void CompileContext::setOptions(const CompileOptions* runOptions) {
    options_ = runOptions;
    diagnostics_.setOptions(runOptions);
}

void CompileContext::reset() {
    // First, while the tree is whole: detaching a function cuts its body
    // off the tree, and the locals declared there hold their declarations.
    releaseTreeOwners(project_.root);
    tables_.detachClasses();
    for (const SmartPtr& object : leftOut_) object.as<model::cbircode>()->detach();
    leftOut_.clear();
    emitter_.release();
    diagnostics_.reset();
    tables_.reset();
    lookup_.reset();
    for (std::unique_ptr<PassState>& state : passStates_) state.reset();
    entry_.reset();
    if (FunctionCompileState* function = emitter_.function()) function->flowRoot.children.clear();
    instancesRegistered_ = 0;
    project_.root.reset();
}

void CompileContext::reportCompileStopped() { reportError(diag::CompileStopped, model::NodeHandle()); }

uint32_t CompileContext::setCompileMode(uint32_t mode) {
    const uint32_t old = lookup_.scopes().declarationMode();
    lookup_.scopes().setDeclarationMode(mode);
    return old;
}

void CompileContext::pushScopeMode(bool classScope) {
    ScopeRecord* record = lookup_.scopes().innermost();
    if (record == nullptr) return;
    record->savedModes.push_back(record->mode);
    record->mode = classScope ? ScopeRecord::kClassScope : ScopeRecord::kObjectScope;
}

SmartPtr CompileContext::currentScopeObject() const {
    return lookup_.scopes().records.empty() ? SmartPtr() : lookup_.scopes().records.back().object;
}

uint32_t CompileContext::currentScopeMode() const {
    return lookup_.scopes().records.empty() ? 0 : lookup_.scopes().records.back().mode;
}

void CompileContext::popObjectScope() { lookup_.scopes().popObjectScope(); }

void CompileContext::emitProgramEntry() {
    const bool linkLibrary = options_ != nullptr && options_->linkLibraryOutput != 0;
    if (entry_.emit(emitter_, sharedModule())) return;
    if (sharedModule()) reportWarning(diag::ModuleWithoutEntry, model::NodeHandle());
    else if (!linkLibrary) reportError(diag::MissingEntry, model::NodeHandle());
}

void CompileContext::flushResultInto(IRResult* result, Operand& out) {
    if (!result->pending.empty()) emitter_.flushResult(*result);
    out = result->operand;
}

namespace {

model::FunctionObject* functionOf(const SmartPtr& owner) {
    IRObject* object = model::asObject(owner);
    return object != nullptr && object->isFunction() ? static_cast<model::FunctionObject*>(object) : nullptr;
}

}  // namespace

void CompileContext::beginThrowScope() {
    if ((lookup_.scopes().declarationMode() & 1) == 0) return;
    if (model::FunctionObject* f = functionOf(lookup_.scopes().frame->owner)) f->pushCatchScope();
}

void CompileContext::noteThrownType(const SmartPtr& type) {
    if ((lookup_.scopes().declarationMode() & 1) == 0) return;
    model::FunctionObject* f = functionOf(lookup_.scopes().frame->owner);
    if (f == nullptr) return;
    if (!f->hasCatchScope()) f->pushCatchScope();
    f->noteCaught(type);  // Exception itself covers every type
}

void CompileContext::checkThrows(IRObject& method, const model::NodeHandle& node) {
    if (!method.isFunction()) return;
    auto& called = static_cast<model::FunctionObject&>(method);
    model::FunctionObject* inside = (lookup_.scopes().declarationMode() & 1) != 0
                                        ? functionOf(lookup_.scopes().frame->owner)
                                        : nullptr;
    qestl::qestringA types;
    bool listed = false;
    // The throws set is ordered by creation serial.
    for (const model::ObjectStateMap::Entry& entry : called.throwsSet()) {
        IRObject* thrown = model::asObject(entry.object);
        if (inside != nullptr && inside->coversException(thrown)) continue;
        types.append("\t");
        types.append(thrown->displayName());
        listed = true;
    }
    if (listed) reportWarning(diag::MayThrow, node, types);
}

void warnUnusedObjects(model::Container& frame, CompileContext& context) {
    for (const SmartPtr& member : frame.members()) {
        IRObject* object = model::asObject(member);
        if (object == nullptr || (object->flagsA & model::kFlagUsed) != 0) continue;
        if (object->name.empty() || object->name.c_str()[0] == '$') continue;
        const model::NodeHandle declaration = object->declarationNode.handle();
        const bool parameter = declaration && declaration->kind == NodeKind::List;
        const Diagnostic& d = parameter ? diag::UnusedParameter : diag::UnusedLocal;
        context.reportWarning(d, declaration, object->name);
    }
}

// ---- what the model asks

bool CompileContext::resolveOperand(Operand& operand, bool keepAsTarget) {
    return codegen::resolveOperand(operand, *this, keepAsTarget);
}

void CompileContext::fixupOperand(Operand& operand, model::cbircode& record, uint64_t base) {
    if (!codegen::fixupOperand(operand, record, base)) tables_.countUnplacedReference();
}

void CompileContext::appendToThirdList(const SmartPtr& instruction) {
    emitter_.list(kRecordList).pushBack(instruction);
}

bool CompileContext::isListedSlotObject(const IRObject* object) const {
    if (lookup_.scopes().staticObjects == nullptr) return false;
    const model::Container::MemberList& heap = lookup_.scopes().heaps[0]->members();
    for (const model::Container::NameEntry& listed : *lookup_.scopes().staticObjects)
        if (listed.index < heap.size() && heap[listed.index].get() == object) return true;
    return false;
}

Operand CompileContext::stringResource(std::string_view text) {
    return tables_.resources().getOrAdd(*this, text, codegen::kResourceString, text.data(), text.size(),
                                        model::NodeHandle());
}

Operand CompileContext::unlistedStringResource(const qestl::qestringA& text) {
    return tables_.resources().addUnlistedString(text);
}

Operand CompileContext::nameResource(std::string_view text) { return tables_.resources().getOrAddName(*this, text); }

Operand CompileContext::binaryResource(const uint8_t* data, size_t size) {
    return tables_.resources().getOrAdd(*this, {}, codegen::kResourceBinary, data, size, model::NodeHandle());
}

Operand CompileContext::relocationReference(std::string_view name, const Operand& nameOperand, uint32_t hash) {
    return tables_.relocations().getOrAddRelocationEntry(name, nameOperand, hash);
}

bool CompileContext::sharedModule() const { return options_ != nullptr && options_->sharedModule != 0; }

SmartPtr CompileContext::arrayTypeOf(const SmartPtr& element) {
    return tables_.arrayTypeOf(element, builtins().longType);
}

// ---- version texts

namespace {

std::string versionText(const CompileOptions* options, const char* key) {
    if (options == nullptr || options->versionDocument.root() == nullptr) return {};
    const JsonNode* member = jsonGetObjectItem(options->versionDocument.root(), key);
    if (member == nullptr || jsonKind(member->value) != kJsonString || member->value->string == nullptr) return {};
    return member->value->string;
}

}  // namespace

std::string CompileContext::fileVersionText() const { return versionText(options_, "FileVersion"); }
std::string CompileContext::languageText() const { return versionText(options_, "Language"); }
std::string CompileContext::productVersionText() const { return versionText(options_, "ProductVersion"); }
int64_t CompileContext::productVersionNumber() const { return parseVersionNumber(productVersionText()); }

int64_t parseVersionNumber(std::string_view text) {
    if (text.empty()) return 0;
    int64_t result = 0;
    size_t start = 0;
    for (int part = 0; part < 4; ++part) {
        const size_t dot = text.find('.', start);
        const std::string_view piece = text.substr(start, dot == std::string_view::npos ? text.npos : dot - start);
        const auto value = static_cast<int32_t>(qestl::parseInt64(qestl::qestringA(piece)));
        result = static_cast<int64_t>(static_cast<uint64_t>(result) << 16) | static_cast<int64_t>(value);
        if (dot == std::string_view::npos) break;
        start = dot + 1;
    }
    return result;
}
