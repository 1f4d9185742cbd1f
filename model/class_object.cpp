#include "model/class_object.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "diagnostics/diagnostics.h"
#include "foundation/sanitizer.h"
#include "model/builtin_types.h"
#include "model/function_object.h"
#include "model/model_context.h"
#include "model/opcodes.h"

namespace model {
namespace {

constexpr const char kOperatorList[] = "+ - / * += -= *= /= == != >> << < > <= >= <<= >>= & | ^ ~ &= |= ^=";

// The name of an unnamed built-in field or constant.
std::string nativeObjectName(const ClassObject& owner) {
    char count[16];
    std::snprintf(count, sizeof count, "!%d", static_cast<int>(owner.dynamicProperties.members().size()));
    return std::string("$native_object@") + owner.name.c_str() + count;
}

}  // namespace

void StringKeyTree::insert(std::string_view key, const qestl::SmartPtr& object) {
    auto found = nodes_.find(key);
    if (found == nodes_.end()) found = nodes_.emplace(std::string(key), std::vector<qestl::SmartPtr>()).first;
    found->second.push_back(object);
    ++count_;
}

const std::vector<qestl::SmartPtr>* StringKeyTree::find(std::string_view key) const {
    auto found = nodes_.find(key);
    return found == nodes_.end() ? nullptr : &found->second;
}

uint8_t& NodeMap::flagOf(const NodeHandle& node) {
    auto found = entries_.find(keyOf(node));
    if (found == entries_.end()) found = entries_.emplace(keyOf(node), std::make_pair(node, uint8_t{0})).first;
    return found->second.second;
}

bool NodeMap::operator==(const NodeMap& other) const {
    return std::equal(entries_.begin(), entries_.end(), other.entries_.begin(), other.entries_.end(),
                      [](const auto& a, const auto& b) {
                          return a.first == b.first && a.second.first.get() == b.second.first.get() &&
                                 a.second.second == b.second.second;
                      });
}

const uint8_t* NodeMap::find(const NodeHandle& node) const {
    auto found = entries_.find(keyOf(node));
    return found == entries_.end() ? nullptr : &found->second.second;
}

ClassObject::ClassObject(const qestl::SmartPtr& classType) { init(classType); }

ClassObject::ClassObject(std::string_view className, const qestl::SmartPtr& classType) {
    init(classType);
    name.assign(className.data(), className.size());
    buildLinkName();
}

ClassObject::~ClassObject() { delete ownTables_; }

void ClassObject::makeOwnTables() {
    ownTables_ = new OwnTables(this);
    ownTables_->staticMethods.noteFailuresBeforeMade(staticFailuresBeforeMade_);
    ownTables_->staticProperties.noteFailuresBeforeMade(staticFailuresBeforeMade_);
    staticFailuresBeforeMade_.clear();
}

bool ClassObject::RareClass::operator==(const RareClass& other) const {
    return captureContainer == other.captureContainer && declarationNodeMap == other.declarationNodeMap &&
           std::memcmp(&nativeLayoutOperand, &other.nativeLayoutOperand, sizeof nativeLayoutOperand) == 0 &&
           hasNativeLayout == other.hasNativeLayout && nativeLayoutState == other.nativeLayoutState &&
           templateMethodIndex == other.templateMethodIndex && awaitedToken == other.awaitedToken &&
           builtinTable == other.builtinTable;
}

void ClassObject::init(const qestl::SmartPtr& classType, bool recordOperands) {
    kind = kKindClass;
    opcode = kOpClassRecord;
    operandCount = 9;
    if (recordOperands) {
        // Operands 7 and 8 are an int immediate 0 for all but a class with
        // native imports: 96 bytes a class not made.
        operands.reserveWithZeroTail(7);
        operands[1].intImmediate(0, kTypeInt);
        operands[3] = Operand(0);
        operands[5].intImmediate(-1, kTypeInt);
        for (size_t i = operands.resolvable(7); i < operands.resolvable(9); ++i) operands[i].intImmediate(0, kTypeInt);
    }
    baseClass.reset();
    anonymous = compiled = 0;
    if (rareClass_.made()) {
        RareClass& fields = editRareClass();
        fields.captureContainer = nullptr;
        fields.hasNativeLayout = 0;
    }
    if (rare().templateNode) editRare().templateNode.reset();
    sharedAnonymousProperties = nullptr;
    ownsAnonymousTable = 1;
    baseMergePending = methodTablesPending = 0;
    inheritanceAccess = 64;
    type = classType;
}

qestl::SmartPtr makeClass(std::string_view name, const qestl::SmartPtr& classType) {
    return adoptLive(new ClassObject(name, classType));
}

qestl::SmartPtr makeNamedClass(const qestl::qestringA& name, const qestl::SmartPtr& classType) {
    auto* made = new ClassObject(classType);
    qestl::SmartPtr ref = adoptLive(made);
    made->name = name;
    made->buildLinkName();
    return ref;
}

void ClassObject::detach() {
    if (kept) return;
    dynamicMethods.clear();
    dynamicProperties.clear();
    staticFailuresBeforeMade_.clear();
    if (ownTables_ != nullptr) {
        ownTables_->staticMethods.clear();
        ownTables_->staticProperties.clear();
        ownTables_->templateArgumentTable.clear();
    }
    detachObjectRef(baseClass);
    detachObjectRef(thisObject);
    if (rareClass_.made()) {
        RareClass& fields = editRareClass();
        fields.declarationNodeMap.clear();
        fields.captureContainer = nullptr;
        fields.templateMethodIndex.clear();
    }
    sharedAnonymousProperties = nullptr;
    ownsAnonymousTable = 0;
    if (ownTables_ != nullptr) ownTables_->anonymousProperties.clear();
    IRObject::detach();
    cbircode::detach();
}

Container& ClassObject::table(uint32_t containerKind) {
    switch (containerKind) {
    case kDynamicMethods: return dynamicMethods;
    case kStaticMethods: return staticMethods();
    case kDynamicProperties: return dynamicProperties;
    case kStaticProperties: return staticProperties();
    case kAnonymousProperties: return *anonymousTable();
    default: return templateArgumentTable();
    }
}

// The base is only ever set to a class (setBaseClass, or its kept value).
ClassObject* ClassObject::base() const { return asClass(asObject(baseClass)); }

const qestl::qestringA& ClassObject::getName() const {
    if (anonymous)
        if (ClassObject* b = base()) return b->getName();
    return name;
}

// A class object's type is always the Class type.
qestl::SmartPtr ClassObject::valueType() const { return type; }

uint32_t ClassObject::indexOfMember(const IRObject& member, const qestl::HashedText& name) const {
    const Container* const order[] = {&dynamicMethods, staticMethodsIfMade(), &dynamicProperties,
                                      staticPropertiesIfMade(), templateArgumentTableIfMade()};
    for (const Container* t : order) {
        if (t == nullptr) continue;
        const IndexList* listed = t->indexesOf(name);
        if (listed == nullptr) continue;
        for (uint32_t index : *listed)
            if (t->members()[index].get() == &member) return index + 1;
    }
    return 0;
}

void takeKnownLinkName(IRObject& object, std::string_view linkName) {
    if (linkName.empty()) {
        object.buildLinkName();
        return;
    }
#if defined(KORVO_ADDRESS_SANITIZER)
    object.buildLinkName();
    if (object.linkName().view() != linkName)
        internalFault("internal error: the link name given for %s is not the one built", object.name.c_str());
#endif
    object.takeStaticLinkName(linkName);
}

Operand ClassObject::addProperty(const qestl::HashedText& memberName, const qestl::SmartPtr& member,
                                 bool isStaticMember) {
    // Mostly entered under its own name: the name is hashed once for both.
    const IRObject& object = *asObject(member);
    const uint32_t at = memberName.text == object.name.view() ? indexOfMember(object, memberName)
                                                              : indexOfMember(object);
    if (at != 0) return Operand::error(at - 1);
    return (isStaticMember ? staticProperties() : dynamicProperties).findOrCreateHashed(memberName, member);
}

Operand ClassObject::addMethod(ModelContext& context, std::string_view memberName, const qestl::SmartPtr& member,
                               bool isStaticMember) {
    IRObject& method = *asObject(member);
    if (method.flagsA & kFlagDeclarationPending) {
        noteWrite();
        methodTablesPending = 1;
    } else if (const uint32_t at = indexOfMember(method)) {
        return Operand::error(at - 1);
    }
    if (isInterface()) {
        method.noteWrite();
        method.modifiers = (method.modifiers & ~kModAccessMask) | 64;
    }
    return (isStaticMember ? staticMethods() : dynamicMethods).addMethod(context, memberName, member);
}

Operand ClassObject::addClassMember(std::string_view memberName, const qestl::SmartPtr& member, bool isStaticMember) {
    IRObject* nested = asObject(member);
    if (nested == nullptr) return Operand::error(kErrDuplicateName);
    ClassObject* nestedClass = asClass(nested);
    // An anonymous class made where code runs on an object is reached
    // through that object; one made in static code is a static class,
    // reached as the class itself.
    if (nestedClass != nullptr && nestedClass->anonymous && !isStaticMember && writesAnonymousTable())
        return anonymousTable()->findOrCreateSlot(memberName, member);
    if (const uint32_t at = indexOfMember(*nested)) return Operand::error(at - 1);
    const bool toStatic = isPackage() || nested->isInterface() || isStaticMember;
    return (toStatic ? staticProperties() : dynamicProperties).findOrCreateSlot(memberName, member);
}

Operand ClassObject::addTemplateArgument(std::string_view argumentName, const qestl::SmartPtr& boundType) {
    IRObject* bound = asObject(boundType);
    if (bound != nullptr && bound->name.view() == argumentName)
        if (const uint32_t at = indexOfMember(*bound)) return Operand::error(at - 1);
    Container& arguments = templateArgumentTable();
    if (const IndexList* listed = arguments.indexesOf(argumentName)) return Operand::error(listed->front());
    return arguments.findOrCreateSlot(argumentName, boundType);
}

Operand ClassObject::addNativeProperty(const qestl::SmartPtr& member, bool constant) {
    IRObject& field = *asObject(member);
    if (field.name.empty()) field.name.assign(nativeObjectName(*this).c_str());
    field.modifiers |= 64;
    field.setConst(constant);
    field.flagsB |= kFlagHidden;
    field.setOwner(IRResult(qestl::SmartPtr(this)));
    return addProperty(field.name.view(), member, false);
}

Operand ClassObject::addStaticConstProperty(std::string_view memberName, const qestl::SmartPtr& member, bool registerIt,
                                            bool constant, std::string_view linkName, bool fresh, bool unlisted) {
    IRObject& field = *asObject(member);
    field.setConst(constant);
    field.flagsB |= kFlagHidden;
    field.modifiers |= 64;
    field.ownerResult.setObject(qestl::SmartPtr(this));  // the link name is built below
    if (registerIt)
        field.editRare().memberLink = (uint64_t{builtinClassId} << 32) | staticProperties().members().size();
    takeKnownLinkName(field, linkName);
    // What addProperty would find: the member in no table, the name free.
    if (fresh && registerIt && !field.isNamedConstant() && memberName == field.name.view())
        return staticProperties().appendNew(memberName, member, unlisted);
    return addProperty(memberName, member, registerIt);
}

Operand ClassObject::addStaticMember(ModelContext& context, const qestl::SmartPtr& member, std::string_view linkName,
                                     bool fresh, bool unlisted) {
    IRObject& field = *asObject(member);
    const std::string unnamed = field.name.empty() ? nativeObjectName(*this) : std::string();
    const std::string_view memberName = field.name.empty() ? std::string_view(unnamed) : field.name.view();
    // "$<class>@<member>", on the stack when short: the catalogue declares
    // some four hundred constants at every start.
    const size_t length = name.length() + memberName.size() + 2;
    char local[96];
    std::string spilled;
    char* text = local;
    if (length > sizeof local) {
        spilled.resize(length);
        text = spilled.data();
    }
    text[0] = '$';
    std::memcpy(text + 1, name.data(), name.length());
    text[1 + name.length()] = '@';
    std::memcpy(text + 2 + name.length(), memberName.data(), memberName.size());
    const std::string_view global(text, length);
    const bool shared = context.sharedModule();
    if (shared) field.imported = 1;
    context.heap(shared ? ModelContext::kBuiltinStatics : ModelContext::kGlobals)
        .findOrCreateBesideHolders(global, member);
    return addStaticConstProperty(memberName, member, true, true, linkName, fresh, unlisted);
}

void ClassObject::noteChainDeclared(uint64_t epoch) {
    noteWrite();
    if (bodyDeclared == 0) return;
    IRObject* above = asObject(baseClass);
    ClassObject* b = base();
    if (above == nullptr || !above->isKind(kKindClass)) {
        chainRest = nullptr;
    } else if (b != nullptr && b->chainDeclaredNow(epoch)) {
        chainRest = b->chainRest;
    } else if (!above->declarationNode) {
        chainRest = b;
        if (b == nullptr) return;
    } else {
        return;
    }
    chainDeclared = 1;
    chainEpoch = epoch;
}

bool ClassObject::setBaseClass(const qestl::SmartPtr& baseType, uint32_t access) {
    noteWrite();
    IRObject* t = asObject(baseType);
    ClassObject* b = t ? asClass(t->classRef()) : nullptr;
    if (b == nullptr || b == this) return false;
    dynamicMethods.inheritMembers(b->dynamicMethods);
    // A base without static tables gives none: the class's own, if made,
    // inherit from empty tables.
    const Container noStaticMethods{kStaticMethods};
    const Container noStaticProperties{kStaticProperties};
    if (b->ownTables_ != nullptr || ownTables_ != nullptr)
        staticMethods().inheritMembers(b->ownTables_ != nullptr ? b->ownTables_->staticMethods : noStaticMethods);
    dynamicProperties.inheritMembers(b->dynamicProperties);
    if (b->ownTables_ != nullptr || ownTables_ != nullptr)
        staticProperties().inheritMembers(b->ownTables_ != nullptr ? b->ownTables_->staticProperties
                                                                   : noStaticProperties);
    baseClass = qestl::SmartPtr(b);
    inheritanceAccess = access;
    shareAnonymousTable(b->anonymousTable());
    operands[5] = Operand();
    operands[5].setObjectRef(baseClass, 0);
    baseMergePending = 1;
    return chainDeclared != 0;
}

bool ClassObject::buildMethodTables(ModelContext& context) {
    noteWrite();
    const qestl::SmartPtr self(this);
    if (baseMergePending) {
        if (ClassObject* b = base()) {
            const uint32_t errors = context.errorCount();
            const Container noStaticMethods{kStaticMethods};
            if ((b->ownTables_ != nullptr || ownTables_ != nullptr) &&
                (!staticMethods().mergeBaseMethods(
                     self, b->ownTables_ != nullptr ? b->ownTables_->staticMethods : noStaticMethods, context) ||
                 context.errorCount() != errors))
                return false;
            if (!dynamicMethods.mergeBaseMethods(self, b->dynamicMethods, context) || context.errorCount() != errors)
                return false;
            operands[5] = Operand();
            operands[5].setObjectRef(baseClass, 0);
        }
        baseMergePending = methodTablesPending = 0;
    } else if (methodTablesPending) {
        if (!baseClass) {
            const uint32_t errors = context.errorCount();
            if (ownTables_ != nullptr &&
                (!ownTables_->staticMethods.finishMethodTable(self, context) || context.errorCount() != errors))
                return false;
            if (!dynamicMethods.finishMethodTable(self, context) || context.errorCount() != errors) return false;
        }
        methodTablesPending = 0;
    }
    return true;
}

void ClassObject::findFinalizer() {
    noteWrite();
    // Asked of every built-in class when it is registered: its names stay
    // unlisted.
    const qestl::SmartPtr* first = dynamicMethods.firstNamed("finalize");
    if (first == nullptr) return;
    const qestl::SmartPtr& method = *first;
    operands[4] = Operand();
    if (asObject(method)->imported) operands[4] = Operand(0, kLibraryFinalizer, kTypeInt);
    else operands[4].setObjectRef(method, 0);
}

bool ClassObject::isDeclarationPending(const NodeHandle& node) const {
    if (!isPackage()) return true;
    const uint8_t* state = rareClass().declarationNodeMap.find(node);
    return state == nullptr || *state != 1;
}

void insertThrownClass(std::vector<qestl::SmartPtr>& set, const qestl::SmartPtr& thrown) {
    const IRObject* added = asObject(thrown);
    if (added == nullptr) return;
    auto at = set.begin();
    for (; at != set.end(); ++at) {
        const IRObject* held = asObject(*at);
        if (held == added) return;
        if (held->serial() > added->serial()) break;
    }
    set.insert(at, thrown);
}

namespace {

// Out of line: the text built inline made every registration slower.
[[gnu::cold, gnu::noinline]] void sayNotRegistered(const ClassObject& owner, const IRObject& method, int fault) {
    const std::string text = formatDiagnostic(diag::MethodNotRegistered,
                                              {owner.name.c_str(), method.name.c_str(), fault});
    std::fwrite(text.data(), 1, text.size(), stdout);
}

}  // namespace

uint64_t registerNativeMethod(ClassObject& owner, ModelContext& context, const BuiltinMethodDecl& decl,
                              qestl::SmartPtr* made) {
    auto* function = new FunctionObject();
    qestl::SmartPtr held = adoptLive(function);
    // The link name is built once, when the record is complete: nothing
    // below reads it before (a catalogue declares about a thousand methods
    // per compilation).
    function->ownerResult.setObject(qestl::SmartPtr(&owner));
    // The list holds no letter, digit or '_': a word is never an operator.
    const char first = decl.name.empty() ? '\0' : decl.name[0];
    if (first != '\0' && !std::isalnum(static_cast<unsigned char>(first)) && first != '_' &&
        std::strstr(kOperatorList, decl.name.c_str()) != nullptr)
        function->flagsA |= kFlagOperator;
    function->modifiers |= 64;
    function->name = decl.name;
    function->type = decl.returnType;
    for (const qestl::SmartPtr& thrown : decl.thrown) function->addThrows(thrown);
    IRObject* returned = asObject(decl.returnType);
    if (!decl.noObjectReturn && returned != nullptr && !returned->isNumeric() && !returned->isBool() &&
        !isBuiltin(returned->classRef(), Builtin::Void))
        function->modifiers |= kModNotNil;
    function->parameters.reserve(decl.parameters.size());
    for (const qestl::SmartPtr& parameter : decl.parameters) function->appendParameter(parameter);
    function->setStatic(decl.isStatic != 0);
    function->setConst(decl.isStatic ? true : decl.nonVirtual != 0);
    // Both slots at once: asked for one by one, the second would bring the
    // other eight of the ten with it, for each of a thousand methods.
    function->operands.reserve(2);
    if (decl.nativeBody) {
        function->opcode = kOpSyscall;
        function->operandCount = 2;
        function->operands[0] = Operand(0);
    } else {
        function->opcode = kOpInterface;
        function->operandCount = 2;
        function->flagsA |= kFlagAbstract;
    }
    function->flagsB |= kFlagHidden;
    function->modifiers |= 64;
    const uint64_t head = (uint64_t{owner.builtinClassId} << 16 | (decl.isStatic ? 26u : 16u)) << 32;
    // Made here, the method is in no table yet: it is entered without
    // looking for it in all five first.
    Container& methods = decl.isStatic ? owner.staticMethods() : owner.dynamicMethods;
    const Operand slot = decl.newInTable ? methods.appendNew(function->name.view(), held, decl.unlistedUntilAsked)
                                         : methods.findOrAdd(function->name.view(), held);
    if (slot.kind == kErrorOperand) {
        // Not a compile error: the catalogue goes on without this method.
        sayNotRegistered(owner, *function, static_cast<int>(slot.value));
        function->detach();
        return head | static_cast<uint32_t>(slot.value);
    }
    // The slot is the method's index in its table, for static methods and
    // constructors too (whose slot operand is a reference).
    const Container::MemberList& table = (decl.isStatic ? owner.staticMethods() : owner.dynamicMethods).members();
    // Searched from the end: a new method is mostly the last.
    uint32_t index = static_cast<uint32_t>(table.size());
    while (index > 0 && table[index - 1] != held) --index;
    index = index > 0 ? index - 1 : static_cast<uint32_t>(table.size());
    const uint64_t descriptor = head | index;
    function->operands[0].value = static_cast<int64_t>(descriptor);
    takeKnownLinkName(*function, decl.linkName);
    function->operands[1] = decl.unlistedLinkName ? context.unlistedStringResource(function->linkName())
                                                  : context.stringResource(function->linkName().view());
    context.appendToThirdList(held);
    if (made != nullptr) *made = held;
    return descriptor;
}

}  // namespace model
