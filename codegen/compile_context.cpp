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

CompileContext::CompileContext()
    : debugInfo(std::make_unique<codegen::DebugInfoTable>()),
      resources(std::make_unique<codegen::ResourceTable>()) {
    for (uint32_t i = 0; i < 4; ++i) codeLists[i] = &ownLists_[i];
    current = codeLists[kMainList];
    relocationRecord = codegen::makeInstruction(model::kOpRelocationTable, 2);
    importModuleRecord = codegen::makeInstruction(model::kOpImportModuleTable, 1);
    importTable = model::adoptLive(new model::ImportTable());
}

CompileContext::~CompileContext() { reset(); }

void CompileContext::setOptions(CompileOptions* runOptions) {
    options = runOptions;
    warningSuppression = runOptions != nullptr ? runOptions->warningSwitch : 0;
}

void CompileContext::releaseLists() {
    for (uint32_t i = 0; i < 4; ++i) {
        codeLists[i] = &ownLists_[i];
        codegen::releaseCodeList(ownLists_[i]);
    }
    current = codeLists[kMainList];
    savedLists.clear();
}

void CompileContext::reset() {
    // The built-ins hold each other (a template and its nested template, a
    // class typed by itself); those outside the code lists are detached here.
    for (auto& [key, klass] : classesById) klass.as<model::cbircode>()->detach();
    releaseLists();
    codegen::releaseCodeList(instanceCode);
    reportedOnce.clear();
    resources->clear();
    // An array type holds itself through its "length" member.
    for (auto& [serial, array] : arrayTypes) array.as<model::ArrayObject>()->releaseAtTeardown();
    arrayTypes.clear();
    for (SmartPtr* record : {&relocationRecord, &importModuleRecord, &importTable})
        if (*record) record->as<model::cbircode>()->detach();
    relocations.clear();
    for (const SmartPtr& entry : moduleEntries) entry.as<model::cbircode>()->detach();
    moduleEntries.clear();
    for (const SmartPtr& object : linkedObjects) {
        // A loaded array is no shared array type: nothing else breaks its
        // cycle through "length".
        if (auto* array = dynamic_cast<model::ArrayObject*>(model::asObject(object))) array->releaseAtTeardown();
        else object.as<model::cbircode>()->detach();
    }
    linkedObjects.clear();
    namePool.clear();
    typeBytes.clear();
    scopes.clear();
    globalTemplates.clear();
    globalObjects.clear();
    symbolStrings.clear();
    receiver.reset();
    trialResults.clear();
    trialsUnderWay.clear();
    receiverStack.clear();
    for (auto& [name, entry] : referencedPackages)
        if (entry.package) model::detachObjectRef(entry.package);
    referencedPackages.clear();
    packages.clear();
    debugInfo->clear();
    deferred.clear();
    clearResults();
    valueLists.clear();
    entryOperand = Operand();
    exitOperand = Operand();
    entryClass.reset();
    entryNode.reset();
    entrySet = exitSet = 0;
    builtinClassNames.clear();
    if (function != nullptr) function->flowRoot.children.clear();
    pendingClasses.clear();
    instancesMade = 0;
    instanceBasesResolving.clear();
    instantiationStopped = 0;
    pendingBlockVariable.reset();
    classesById.clear();
    nameIndex.clear();
    listMap.clear();
    iconResource = Operand();
    exceptionOperand = Operand();
    project.root.reset();
}

void CompileContext::countError() {
    if (activeCapture != nullptr) activeCapture->hasError = 1;
    else ++errors;
}

bool CompileContext::hasErrors() const { return activeCapture != nullptr ? activeCapture->hasError != 0 : errors != 0; }

void CompileContext::reportCompileStopped() { reportError(diag::CompileStopped, model::NodeHandle()); }

uint32_t CompileContext::setCompileMode(uint32_t mode) {
    const uint32_t old = scopes.declarationMode;
    scopes.declarationMode = mode;
    return old;
}

void CompileContext::pushScopeMode(bool classScope) {
    ScopeRecord* record = scopes.innermost();
    if (record == nullptr) return;
    record->savedModes.push_back(record->mode);
    record->mode = classScope ? ScopeRecord::kClassScope : ScopeRecord::kObjectScope;
}

SmartPtr CompileContext::currentScopeObject() const {
    return scopes.records.empty() ? SmartPtr() : scopes.records.back().object;
}

uint32_t CompileContext::currentScopeMode() const { return scopes.records.empty() ? 0 : scopes.records.back().mode; }

void CompileContext::popObjectScope() { scopes.popObjectScope(); }

FlagGuard CompileContext::pushFlag(uint8_t value) {
    flagStack.push_back(valueContext);
    valueContext = value;
    return FlagGuard(this);
}

void FlagGuard::restore() {
    if (context_ == nullptr) return;
    if (!context_->flagStack.empty()) {
        context_->valueContext = context_->flagStack.back();
        context_->flagStack.pop_back();
    }
    if (pushedReceiver_) context_->popThisObject();
    context_ = nullptr;
}

void CompileContext::popThisObject() {
    if (receiverStack.empty()) return;
    receiver = receiverStack.back();
    receiverStack.pop_back();
}

void CompileContext::setResults(const IRResult& result) {
    clearResults();
    candidates.pushBack(result);
}

void CompileContext::clearResults() {
    candidates.clear();
    nearMisses.clear();
}

void CompileContext::flushResultInto(IRResult* result, Operand& out) {
    if (!result->pending.empty()) flushResult(*result);
    out = result->operand;
}

namespace {

model::FunctionObject* functionOf(const SmartPtr& owner) {
    IRObject* object = model::asObject(owner);
    return object != nullptr && object->isFunction() ? static_cast<model::FunctionObject*>(object) : nullptr;
}

}  // namespace

void CompileContext::beginThrowScope() {
    if ((scopes.declarationMode & 1) == 0) return;
    if (model::FunctionObject* f = functionOf(scopes.frame->owner)) f->pushCatchScope();
}

void CompileContext::noteThrownType(const SmartPtr& type) {
    if ((scopes.declarationMode & 1) == 0) return;
    model::FunctionObject* f = functionOf(scopes.frame->owner);
    if (f == nullptr) return;
    if (f->catchScopes.empty()) f->pushCatchScope();
    f->noteCaught(type);  // Exception itself covers every type
}

void CompileContext::checkThrows(IRObject& method, const model::NodeHandle& node) {
    if (!method.isFunction()) return;
    auto& called = static_cast<model::FunctionObject&>(method);
    model::FunctionObject* inside = (scopes.declarationMode & 1) != 0 ? functionOf(scopes.frame->owner) : nullptr;
    qestl::qestringA types;
    bool listed = false;
    // The throws set is ordered by creation serial.
    for (const model::ObjectStateMap::Entry& entry : called.throwsSet) {
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
        const bool parameter = object->declarationNode && object->declarationNode->kind == NodeKind::List;
        const Diagnostic& d = parameter ? diag::UnusedParameter : diag::UnusedLocal;
        context.reportWarning(d, object->declarationNode, object->name);
    }
}

// ---- what the model asks

bool CompileContext::resolveOperand(Operand& operand, uint64_t recordSize, bool keepAsTarget) {
    return codegen::resolveOperand(operand, *this, recordSize, keepAsTarget);
}

void CompileContext::fixupOperand(Operand& operand, model::cbircode& record, uint64_t base) {
    if (!codegen::fixupOperand(operand, record, base)) ++unplacedReferences;
}

void CompileContext::appendToThirdList(const SmartPtr& instruction) { codeLists[kRecordList]->pushBack(instruction); }

bool CompileContext::isListedSlotObject(const IRObject* object) const {
    if (scopes.staticObjects == nullptr) return false;
    const qestl::SmartPtrVector& heap = scopes.heaps[0]->members();
    for (const model::Container::NameEntry& listed : *scopes.staticObjects)
        if (listed.index < heap.size() && heap[listed.index].get() == object) return true;
    return false;
}

SmartPtr CompileContext::viewer() const {
    if (!scopes.records.empty()) return scopes.records.back().object;
    return scopes.frame->owner;
}

Operand CompileContext::stringResource(std::string_view text) {
    return resources->getOrAdd(*this, text, codegen::kResourceString, text.data(), text.size(), model::NodeHandle());
}

Operand CompileContext::binaryResource(const uint8_t* data, size_t size) {
    return resources->getOrAdd(*this, {}, codegen::kResourceBinary, data, size, model::NodeHandle());
}

Operand CompileContext::relocationReference(std::string_view name, const Operand& nameOperand, uint32_t hash) {
    return relocations.getOrAddRelocationEntry(name, nameOperand, hash);
}

bool CompileContext::sharedModule() const { return options != nullptr && options->sharedModule != 0; }

SmartPtr CompileContext::arrayTypeOf(const SmartPtr& element) {
    IRObject* e = model::asObject(element);
    SmartPtr& made = arrayTypes[e != nullptr ? e->serial() : 0];
    if (!made) made = model::makeArray(element);
    return made;
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

std::string CompileContext::fileVersionText() const { return versionText(options, "FileVersion"); }
std::string CompileContext::languageText() const { return versionText(options, "Language"); }
std::string CompileContext::productVersionText() const { return versionText(options, "ProductVersion"); }
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
