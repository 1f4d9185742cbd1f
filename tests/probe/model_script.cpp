// `korvo-probe model FILE|-`: runs a script over a fresh model, one command
// a line ('#' lines skipped). Objects are named by handles; the built-in
// types by their own names (Object is "*"). Silent commands print nothing
// unless they raise a diagnostic; the others print one line.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "codegen/instructions.h"
#include "model/builtin_types.h"
#include "model/container.h"
#include "model/name_string_pool.h"
#include "model/function_object.h"
#include "model/ir_object.h"
#include "model/library_io.h"
#include "model/opcodes.h"
#include "model/array_object.h"
#include "model/class_object.h"
#include "model_class_script.h"
#include "model_fixture.h"
#include "model_test_context.h"
#include "probe.h"

namespace {

using model::IRObject;
using model::Operand;
using qestl::SmartPtr;
using Words = std::vector<std::string>;

using probe::Impossible;
using probe::number;

std::string escape(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\t') out += "\\t";
        else out += c;
    }
    return out;
}

uint32_t hexNumber(const std::string& text) {
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 16);
    if (text.empty() || *end != '\0') throw Impossible();
    return static_cast<uint32_t>(value);
}

class Script : public probe::ScriptAccess {
public:
    Script() {
        probe::makeBuiltinFixture(context_.builtins(), handles_);
        context_.pool.setBase(65536);
    }
    // Tears the model down as the compiler does: detach breaks the reference
    // cycles (a class typed by itself, owners and their members) first.
    ~Script() override {
        classes_.teardown();
        for (auto& [name, table] : containers_) table->clear();
        owners_.clear();
        for (auto& [name, held] : results_) held.detach();
        roots_.clear();
        for (auto& [name, held] : handles_) held.as<model::cbSmartCore>()->detach();
        for (const SmartPtr& held : context_.thirdList) held.as<model::cbSmartCore>()->detach();
        for (const SmartPtr& held : context_.madeArrays) held.as<model::ArrayObject>()->releaseAtTeardown();
    }

    void run(const std::string& line) {
        std::istringstream split(line);
        Words words;
        for (std::string word; split >> word;) words.push_back(word);
        if (words.empty() || words[0][0] == '#') return;
        context_.diagnostics.clear();
        std::string out;
        bool silent = false;
        try {
            out = dispatch(words, silent);
        } catch (const Impossible&) {
            out = "?";
            silent = false;
        }
        if (silent && context_.diagnostics.empty()) return;
        out += escape(context_.diagnostics);
        std::printf("%s\n", silent && !out.empty() && out[0] == ' ' ? out.substr(1).c_str() : out.c_str());
    }

    // A name ending in "[]" makes a new array type over the rest each time.
    SmartPtr& handle(const std::string& name) override {
        auto found = handles_.find(name);
        if (found != handles_.end()) return found->second;
        if (name.size() > 2 && name.compare(name.size() - 2, 2, "[]") == 0) {
            arrayUse_ = classes_.makeArrayOf(name.substr(0, name.size() - 2));
            return arrayUse_;
        }
        throw Impossible();
    }
    IRObject* object(const std::string& name) override {
        auto* made = dynamic_cast<IRObject*>(handle(name).get());
        if (made == nullptr) throw Impossible();
        return made;
    }
    model::cbircode* record(const std::string& name) { return handle(name).as<model::cbircode>(); }
    SmartPtr type(const std::string& name) { return name == "-" ? SmartPtr() : handle(name); }
    std::string nameOf(const SmartPtr& target) override {
        for (const auto& [name, held] : handles_)
            if (held == target) return name;
        auto* asObject = dynamic_cast<IRObject*>(target.get());
        if (asObject && !asObject->name.empty()) return asObject->name.c_str();
        return "#" + std::to_string(target.as<model::cbircode>()->opcode);
    }

    Operand operand(const std::string& text) {
        Operand made;
        std::string head = text;
        std::string targetName;
        int64_t displacement = 0;
        const size_t at = text.find('@');
        if (at != std::string::npos) {
            head = text.substr(0, at);
            targetName = text.substr(at + 1);
            const size_t plus = targetName.find_first_of("+-");
            if (plus != std::string::npos) {
                displacement = number(targetName.substr(plus + (targetName[plus] == '+')));
                targetName.resize(plus);
            }
        }
        const size_t first = head.find(':');
        const size_t second = first == std::string::npos ? first : head.find(':', first + 1);
        if (second == std::string::npos) throw Impossible();
        made.kind = static_cast<uint32_t>(number(head.substr(0, first)));
        made.dataType = static_cast<uint32_t>(number(head.substr(first + 1, second - first - 1)));
        made.value = number(head.substr(second + 1));
        if (!targetName.empty()) {
            made.target = handle(targetName);
            made.displacement = displacement;
        }
        return made;
    }

    std::string show(const Operand& op) override {
        std::string out = std::to_string(op.kind) + ":" + std::to_string(op.dataType) + ":" + std::to_string(op.value);
        if (op.target) {
            out += "@" + nameOf(op.target);
            if (op.displacement != 0) out += (op.displacement > 0 ? "+" : "") + std::to_string(op.displacement);
        }
        return out;
    }

    static std::string hex(const qestl::ByteVector& bytes) {
        std::string out;
        char pair[3];
        for (uint8_t b : bytes) {
            std::snprintf(pair, sizeof pair, "%02x", b);
            out += pair;
        }
        return out;
    }

    static const char* boolText(bool value) { return value ? "true" : "false"; }

    void setWord(IRObject& o, const std::string& word, bool on) {
        auto flag = [&](uint8_t& byte, uint8_t bit) { byte = on ? (byte | bit) : (byte & ~bit); };
        auto modifier = [&](uint32_t bit) { o.modifiers = on ? (o.modifiers | bit) : (o.modifiers & ~bit); };
        auto access = [&](uint32_t level) { o.modifiers = (o.modifiers & ~model::kModAccessMask) | (on ? level : 0); };
        if (word == "static") o.setStatic(on);
        else if (word == "const" || word == "final") o.setConst(on);
        else if (word == "operator") flag(o.flagsA, model::kFlagOperator);
        else if (word == "abstract") flag(o.flagsA, model::kFlagAbstract);
        else if (word == "override") o.setOverride(on);
        else if (word == "native") o.setNative(on);
        else if (word == "notnil") modifier(model::kModNotNil);
        else if (word == "maynil") modifier(model::kModMayNil);
        else if (word == "hidden") flag(o.flagsB, model::kFlagHidden);
        else if (word == "namedconst") flag(o.flagsB, model::kFlagNamedConstant);
        else if (word == "pending") flag(o.flagsA, model::kFlagDeclarationPending);
        else if (word == "parameter") flag(o.flagsC, model::kFlagParameter);
        else if (word == "builtinref") flag(o.flagsB, model::kFlagByBuiltinId);
        else if (word == "imported") o.imported = on;
        else if (word == "enum") modifier(model::kModEnum);
        else if (word == "interface") modifier(model::kModInterface);
        else if (word == "package") modifier(model::kModPackage);
        else if (word == "anonymous" && model::asClass(&o)) model::asClass(&o)->anonymous = on;
        else if (word == "private") access(0);
        else if (word == "protected") access(32);
        else if (word == "public") access(64);
        else throw Impossible();
    }

    bool isWord(IRObject& o, const std::string& word) {
        if (word == "static") return o.isStatic();
        if (word == "const" || word == "final") return o.isConst();
        if (word == "ctor") return o.isConstructor();
        if (word == "operator") return (o.flagsA & model::kFlagOperator) != 0;
        if (word == "override") return o.isOverride();
        if (word == "native") return o.isNative();
        if (word == "enum") return o.isEnum();
        if (word == "interface") return o.isInterface();
        if (word == "package") return o.isPackage();
        if (word == "notnil") return o.isNotNilptr();
        if (word == "abstract") return o.isAbstractMethod();
        if (word == "namedconst") return o.isNamedConstant();
        if (word == "parameter") return o.isParameter();
        if (word == "array") return o.isArray();
        if (word == "numeric") return o.isNumeric();
        if (word == "string") return o.isString();
        if (word == "bool") return o.isBool();
        if (word == "function") return o.isFunction();
        if (word == "used") return (o.flagsA & model::kFlagUsed) != 0;
        if (word == "hasconst") return o.hasConstantValue();
        if (word == "staticcontext") return o.isStaticContext();
        throw Impossible();
    }

    void owned(IRObject& made, const Words& w, size_t ownerAt) {
        if (w.size() > ownerAt) {
            model::IRResult descriptor(handle(w[ownerAt]));
            made.setOwner(descriptor);
        }
    }

    std::string dispatch(const Words& w, bool& silent) {
        const std::string& c = w[0];
        auto need = [&](size_t count) {
            if (w.size() < count) throw Impossible();
        };
        std::string handled;
        if (classes_.run(w, handled, silent)) return handled;
        silent = true;
        if (c == "var" || c == "obj") {
            need(3);
            const uint32_t kind = c == "var" ? model::kKindVariable : static_cast<uint32_t>(number(w[2]));
            SmartPtr made = model::makeObject(w[1], kind, c == "var" ? type(w[2]) : SmartPtr(), 0);
            handles_[w[1]] = made;
            owned(*made.as<IRObject>(), w, 3);
            return "";
        }
        if (c == "fn") {
            need(3);
            SmartPtr made = model::makeFunction(w[1], type(w[2]));
            handles_[w[1]] = made;
            owned(*made.as<IRObject>(), w, 3);
            return "";
        }
        if (c == "flow") {
            need(5);
            const auto kind = static_cast<uint32_t>(number(w[2]));
            const auto mask = static_cast<uint32_t>(number(w[3]));
            model::FlowNode& made = w.size() > 5 ? flow(w[5]).addChild(kind, nullptr, mask) : roots_.emplace_back();
            made.kind = kind;
            made.mask = mask;
            made.exitBits = static_cast<uint32_t>(number(w[4]));
            flows_[w[1]] = &made;
            return "";
        }
        if (c == "seal") {
            need(2);
            flow(w[1]).seal();
            return "";
        }
        if (c == "term") {
            need(2);
            flow(w[1]).terminated = 1;
            return "";
        }
        if (c == "container") {
            need(3);
            auto made = std::make_unique<model::Container>(static_cast<uint32_t>(number(w[2])));
            if (w.size() > 3) made->setRecordedOwner(owners_, handle(w[3]));
            containers_[w[1]] = std::move(made);
            return "";
        }
        if (c == "catch") {
            need(3);
            function(w[1]).pushCatchScope();
            function(w[1]).noteCaught(handle(w[2]));
            return "";
        }
        if (c == "insn") {
            need(3);
            auto* made = new model::cbircode(static_cast<uint32_t>(number(w[2])), static_cast<int>(w.size() - 3));
            SmartPtr held = model::adoptLive(made);
            for (size_t i = 3; i < w.size() && i - 3 < model::kMaxOperands; ++i) made->operands[i - 3] = operand(w[i]);
            handles_[w[1]] = held;
            return "";
        }
        if (c == "make") {
            need(3);
            handles_[w[1]] = make(w);
            return "";
        }
        if (c == "count") {
            need(3);
            record(w[1])->operandCount = static_cast<uint64_t>(number(w[2]));
            return "";
        }
        if (c == "keep") {
            need(2);
            record(w[1])->keepFirstOperand = 1;
            return "";
        }
        if (c == "name" || c == "alt") {
            need(3);
            std::string text = w[2];
            for (size_t i = 3; i < w.size(); ++i) text += " " + w[i];
            if (c == "name") object(w[1])->setName(text);
            else object(w[1])->setAltName(text);
            return "";
        }
        if (c == "id") {
            need(3);
            object(w[1])->setId(static_cast<uint32_t>(number(w[2])));
            return "";
        }
        if (c == "set" || c == "unset") {
            need(3);
            IRObject& o = *object(w[1]);
            for (size_t i = 2; i < w.size(); ++i) setWord(o, w[i], c == "set");
            return "";
        }
        if (c == "setstate") {
            need(3);
            IRObject& o = *object(w[1]);
            o.modifiers = (o.modifiers & ~model::kStateMask) | (static_cast<uint32_t>(number(w[2])) & model::kStateMask);
            return "";
        }
        if (c == "result") {
            need(3);
            model::IRResult made(w[2] == "-" ? SmartPtr() : handle(w[2]));
            if (w.size() > 3) made.operand = operand(w[3]);
            if (w.size() > 4) made.storageIndex = static_cast<uint64_t>(number(w[4]));
            results_[w[1]] = made;
            return "";
        }
        silent = false;
        return query(w);
    }

    void addContainer(const std::string& name, std::unique_ptr<model::Container> made) override {
        containers_[name] = std::move(made);
    }
    uint64_t placeOf(const std::string& name) override { return placed_[name]; }
    model::Container& container(const std::string& name) override {
        auto found = containers_.find(name);
        if (found == containers_.end()) throw Impossible();
        return *found->second;
    }

    std::string containerQuery(const Words& w) {
        model::Container& table = container(w[1]);
        if (w[0] == "size") return std::to_string(table.encodedSize());
        if (w[0] == "place" && w.size() > 2) {
            const auto position = static_cast<uint64_t>(number(w[2]));
            placed_[w[1]] = position;
            return std::to_string(table.assignAddress(context_, position));
        }
        if (w[0] == "encode") {
            const uint64_t position = w.size() > 2 ? static_cast<uint64_t>(number(w[2])) : placed_[w[1]];
            qestl::ByteVector bytes;
            qestl::ByteWriter out(bytes);
            table.encode(context_, out, context_.typeStream(), position);
            return hex(bytes);
        }
        throw Impossible();
    }

    model::FlowNode& flow(const std::string& name) {
        auto found = flows_.find(name);
        if (found == flows_.end()) throw Impossible();
        return *found->second;
    }

    model::FunctionObject& function(const std::string& name) {
        auto* made = dynamic_cast<model::FunctionObject*>(handle(name).get());
        if (made == nullptr) throw Impossible();
        return *made;
    }

    model::IRResult& result(const std::string& name) {
        auto found = results_.find(name);
        if (found == results_.end()) throw Impossible();
        return found->second;
    }

    std::string query(const Words& w) {
        const std::string& c = w[0];
        auto need = [&](size_t count) {
            if (w.size() < count) throw Impossible();
        };
        if (c == "link") return need(2), object(w[1])->linkName().c_str();
        if (c == "relink") {
            need(2);
            object(w[1])->buildLinkName();
            return object(w[1])->linkName().c_str();
        }
        if (c == "display") return need(2), object(w[1])->displayName().c_str();
        if (c == "kind") return need(2), std::to_string(object(w[1])->kindOf());
        if (c == "typecode") return need(2), std::to_string(model::typeCodeOf(object(w[1])));
        if (c == "datatype") {
            need(2);
            Operand probeOperand;
            model::setDataTypeFromValue(probeOperand, object(w[1]));
            return std::to_string(probeOperand.dataType);
        }
        if (c == "vstate") return need(2), std::to_string(object(w[1])->modifiers & model::kStateMask);
        if (c == "hash") {
            need(2);
            char text[16];
            std::snprintf(text, sizeof text, "%08x", object(w[1])->signatureHash(w.size() > 2 ? hexNumber(w[2]) : 0));
            return text;
        }
        if (c == "is") return need(3), boolText(isWord(*object(w[1]), w[2]));
        if (c == "same") return need(3), boolText(object(w[1])->sameType(object(w[2])));
        if (c == "typeop") {
            need(2);
            IRObject& o = *object(w[1]);
            const bool variable = o.kind == model::kKindVariable || o.kind == model::kKindClassHolder;
            qestl::ByteVector bytes;
            qestl::ByteWriter out(bytes);
            o.writeTypeOperand(out, 0, static_cast<uint8_t>(w.size() > 2 ? number(w[2]) : 0), variable);
            return hex(bytes);
        }
        if (c == "podcode") {
            need(2);
            return std::to_string(model::podTypeCode(w[1] == "-" ? nullptr : object(w[1]), w.size() > 2 && w[2] == "array"));
        }
        if (c == "assign") {
            need(4);
            if (w[3] != "implicit" && w[3] != "exact") throw Impossible();
            return boolText(model::convertible(&context_, object(w[1]), type(w[2]), w[3] == "implicit"));
        }
        if (c == "opok") {
            need(4);
            return boolText(object(w[1])->assignOperatorAllowed(&context_, static_cast<uint32_t>(number(w[2])), type(w[3])));
        }
        // `fixed` gives the value as an initialiser does (a value record).
        if (c == "constant" || c == "fixed") {
            need(4);
            IRObject& o = *object(w[1]);
            const uint32_t kind = static_cast<uint32_t>(number(w[2]));
            Operand value(0, kind, kind);
            if (kind == model::kImmFloat) {
                const float f = std::strtof(w[3].c_str(), nullptr);
                uint32_t bits;
                std::memcpy(&bits, &f, 4);
                value.value = bits;
            } else if (kind == model::kImmDouble) {
                const double d = std::strtod(w[3].c_str(), nullptr);
                std::memcpy(&value.value, &d, 8);
            } else {
                value.value = number(w[3]);
            }
            if (c == "fixed") o.setValueRecord(value);
            else o.setConstantValue(value, false);
            return show(o.constantValue());
        }
        if (c == "lock") {
            need(3);
            return show(object(w[1])->lockInstruction(context_, static_cast<uint32_t>(number(w[2])), model::NodeHandle()));
        }
        if (c == "list3") {
            std::string out;
            for (const SmartPtr& held : context_.thirdList)
                out += (out.empty() ? "" : " ") + std::to_string(held.as<model::cbircode>()->opcode);
            return out.empty() ? "done" : out;
        }
        if (c == "imm") {
            need(3);
            Operand made;
            made.intImmediate(number(w[1]), static_cast<uint32_t>(number(w[2])));
            return show(made);
        }
        if (c == "fold") return need(2), std::to_string(flow(w[1]).foldExitBits(false));
        if (c == "param") {
            need(3);
            const size_t colon = w[2].find(':');
            const std::string typeName = w[2].substr(0, colon);
            const std::string paramName = colon == std::string::npos ? "" : w[2].substr(colon + 1);
            SmartPtr made = model::makeObject(paramName, model::kKindVariable, type(typeName), 0);
            made.as<IRObject>()->flagsC |= model::kFlagParameter;
            model::FunctionObject& f = function(w[1]);
            const bool added = f.addParameter(made);
            f.buildLinkName();
            return boolText(added);
        }
        if (c == "sig") return need(3), std::to_string(function(w[1]).sameSignature(*object(w[2])));
        if (c == "params" || c == "throwdesc") {
            need(2);
            qestl::qestringA text;
            if (c == "params") function(w[1]).describeParameters(text);
            else function(w[1]).describeThrows(text);
            return escape(text.view());
        }
        if (c == "warnthrows") {
            need(2);
            function(w[1]).warnUnusedThrows(context_);
            return "done";
        }
        if (c == "throws") return need(3), boolText(function(w[1]).addThrows(handle(w[2])));
        if (c == "uses") {
            need(3);
            const model::ObjectStateMap::Entry* found = function(w[1]).exceptions.edit().throwsSet.find(object(w[2]));
            return found ? std::to_string(found->value) : "none";
        }
        if (c == "covers") return need(3), boolText(function(w[1]).coversException(object(w[2])));
        if (c == "add") return need(3), show(container(w[1]).findOrCreate(object(w[2])->name.view(), handle(w[2])));
        if (c == "method") return need(3), show(container(w[1]).addMethod(context_, object(w[2])->name.view(), handle(w[2])));
        if (c == "inherit") {
            need(3);
            container(w[1]).inheritMembers(container(w[2]));
            return "done";
        }
        if (c == "finish") {
            need(2);
            model::Container& table = container(w[1]);
            return boolText(table.finishMethodTable(table.recordedOwner(owners_), context_));
        }
        if (c == "members") {
            need(2);
            std::string out;
            for (const SmartPtr& member : container(w[1]).members())
                out += (out.empty() ? "" : " ") + nameOf(member);
            return out.empty() ? "done" : out;
        }
        if (c == "similar") {
            need(3);
            context_.nearMisses.clear();
            container(w[1]).collectSimilarNames(context_, w[2]);
            std::string out;
            for (const model::IRResult& near : context_.nearMisses) out += (out.empty() ? "" : " ") + nameOf(near.object);
            return out.empty() ? "done" : out;
        }
        if (c == "visible" || c == "byname") {
            // A new lookup: visible C VIEWER|- NAME LEVEL [MODE], byname C NAME LEVEL
            need(c == "visible" ? 5 : 4);
            context_.candidates.clear();
            context_.nearMisses.clear();
            ++context_.generation;
            bool found;
            if (c == "visible") {
                IRObject* viewer = w[2] == "-" ? nullptr : object(w[2]);
                const auto mode = w.size() > 5 ? static_cast<uint32_t>(number(w[5])) : 0u;
                found = container(w[1]).lookupVisible(context_, viewer, w[3], static_cast<uint32_t>(number(w[4])), mode);
                if (w.size() > 6) found = container(w[6]).lookupVisible(context_, viewer, w[3], static_cast<uint32_t>(number(w[4])), mode);
            } else {
                found = container(w[1]).collectByName(context_, w[2], static_cast<uint32_t>(number(w[3])));
            }
            std::string out = boolText(found);
            for (const model::IRResult& candidate : context_.candidates) {
                out += " " + nameOf(candidate.object) + "=" + show(candidate.operand);
                for (const SmartPtr& pending : candidate.pending) out += "+#" + std::to_string(pending.as<model::cbircode>()->opcode);
            }
            for (const model::IRResult& near : context_.nearMisses) out += " ~" + nameOf(near.object);
            return out;
        }
        if (c == "intrinsic") {
            need(4);
            context_.candidates.clear();
            ++context_.generation;
            object(w[1])->bindIntrinsicMember(context_, w[2], static_cast<uint32_t>(number(w[3])));
            std::string out;
            for (const model::IRResult& found : context_.candidates)
                out += (out.empty() ? "" : " ") + std::string(found.objectPtr()->linkName().c_str());
            return out.empty() ? "done" : out;
        }
        if (c == "pool") return hex(context_.pool.bytes());
        if (c == "types") return hex(context_.typeBytes);
        if (containers_.count(w.size() > 1 ? w[1] : "") != 0) return containerQuery(w);
        if (c == "size") return need(2), std::to_string(record(w[1])->encodedSize());
        if (c == "place") {
            need(3);
            const auto position = static_cast<uint64_t>(number(w[2]));
            placed_[w[1]] = position;
            return std::to_string(record(w[1])->assignAddress(context_, position));
        }
        if (c == "resolve") return need(2), boolText(record(w[1])->resolveOperands(context_));
        if (c == "encode") {
            need(2);
            model::cbircode& r = *record(w[1]);
            r.resolveOperands(context_);
            auto* owner = dynamic_cast<model::ClassObject*>(&r);
            const uint64_t placed = owner ? placeOf(w[1]) : r.codeAddress;
            const uint64_t position = w.size() > 2 ? static_cast<uint64_t>(number(w[2])) : placed;
            qestl::ByteVector bytes;
            qestl::ByteWriter out(bytes);
            r.encode(context_, out, nullptr, position);
            return hex(bytes);
        }
        if (c == "ops") {
            need(2);
            model::cbircode& r = *record(w[1]);
            std::string out = std::to_string(r.opcode) + " " + std::to_string(r.operandCount);
            for (uint64_t i = 0; i < r.operandCount && i < model::kMaxOperands; ++i) out += " " + show(r.operands[i]);
            return out;
        }
        if (c == "relocs") {
            std::string out;
            const qestl::SmartPtrVector& entries = context_.relocations.entries();
            for (size_t i = 0; i < entries.size(); ++i) {
                char text[16];
                std::snprintf(text, sizeof text, "%08x",
                              static_cast<uint32_t>(entries[i].as<model::cbircode>()->operands[1].value));
                out += (i ? " " : "") + context_.relocations.name(i) + "=" + text;
            }
            return out.empty() ? "done" : out;
        }
        if (c == "record") {
            need(4);
            model::IRResult& r = result(w[1]);
            r.mergeObjectState(handle(w[2]), static_cast<uint64_t>(number(w[3])));
            return entry(r, w[2]);
        }
        if (c == "entry") return need(3), entry(result(w[1]), w[2]);
        if (c == "apply" || c == "restore" || c == "complement") {
            need(2);
            model::IRResult& r = result(w[1]);
            if (c == "apply") r.applyObjectStates();
            else if (c == "restore") r.restoreObjectStates();
            else r.complementObjectStates();
            std::string out;
            for (const auto& e : r.states)
                out += (out.empty() ? "" : " ") + nameOf(e.object) + "=" + std::to_string(e.value);
            return out.empty() ? "done" : out;
        }
        if (c == "addr") {
            need(3);
            return std::to_string(result(w[1]).addressCode(number(w[2]) != 0));
        }
        if (c == "fuse") {
            need(3);
            model::IRResult accumulator(SmartPtr(), Operand(model::kEax, model::kRegister, model::kTypeInt));
            accumulator.appendInstructionRef(codegen::makeInstruction(static_cast<uint32_t>(number(w[1])), 0));
            SmartPtr last;
            return std::to_string(model::fuseMemberOperation(accumulator, static_cast<uint32_t>(number(w[2])), last));
        }
        throw Impossible();
    }

    std::string entry(model::IRResult& r, const std::string& name) {
        const model::ObjectStateMap::Entry* found = r.states.find(object(name));
        return found ? std::to_string(found->value) : "none";
    }

    IRObject* typeObject(const std::string& name) { return name == "-" ? nullptr : object(name); }

    SmartPtr make(const Words& w) {
        const std::string& f = w[2];
        auto arg = [&](size_t i) -> const std::string& {
            if (w.size() <= 3 + i) throw Impossible();
            return w[3 + i];
        };
#define ONE_OPERAND_FACTORY(function, opcode) \
    if (f == #function) return codegen::function(operand(arg(0)));
#define NO_OPERAND_FACTORY(function, opcode) \
    if (f == #function) return codegen::function();
#include "codegen/factories.def"
#undef ONE_OPERAND_FACTORY
#undef NO_OPERAND_FACTORY
        if (f == "makeInstructionWithOperand")
            return codegen::makeInstructionWithOperand(static_cast<uint32_t>(number(arg(0))), operand(arg(1)));
        if (f == "makeInstructionWithTwoOperands")
            return codegen::makeInstructionWithTwoOperands(static_cast<uint32_t>(number(arg(0))), operand(arg(1)),
                                                           operand(arg(2)));
        if (f == "makeCallInstance") return codegen::makeCallInstance(handle(arg(0)));
        if (f == "makeRet") return codegen::makeRet(model::NodeHandle());
        if (f == "makeRetDelesp") return codegen::makeRetDelesp(model::NodeHandle());
        if (f == "makeInterrupt") return codegen::makeInterrupt(static_cast<int32_t>(number(arg(0))));
        if (f == "makeMapseh") return codegen::makeMapseh(operand(arg(0)));
        if (f == "makePushIntImmediate") return codegen::makePushIntImmediate(static_cast<int32_t>(number(arg(0))));
        if (f == "makePushTypeId") return codegen::makePushTypeId(static_cast<int32_t>(number(arg(0))));
        if (f == "makePushRegister") return codegen::makePushRegister(number(arg(0)), typeObject(arg(1)));
        if (f == "makePopRegister") return codegen::makePopRegister(number(arg(0)), typeObject(arg(1)));
        if (f == "makeAllocesp") return codegen::makeAllocesp(number(arg(0)));
        if (f == "makeChecketp") return codegen::makeChecketp(number(arg(0)), number(arg(1)));
        if (f == "makeJex") return codegen::makeJex(static_cast<int32_t>(number(arg(0))), operand(arg(1)));
        if (f == "makeMovEdxEax") return codegen::makeMovEdxEax(typeObject(arg(0)), typeObject(arg(1)));
        if (f == "makeJump") return codegen::makeJump(static_cast<uint32_t>(number(arg(0))), number(arg(1)));
        if (f == "makeCheckEspInstruction") return model::makeCheckEspInstruction(number(arg(0)));
        if (f == "makeInterfaceInstruction") return model::makeInterfaceInstruction();
        throw Impossible();
    }

    std::map<std::string, SmartPtr> handles_;
    std::map<std::string, model::IRResult> results_;
    std::deque<model::FlowNode> roots_;
    std::map<std::string, std::unique_ptr<model::Container>> containers_;
    // The owners a library would give the containers made here.
    model::ContainerOwners owners_;
    std::map<std::string, uint64_t> placed_;
    std::map<std::string, model::FlowNode*> flows_;
    probe::TestModelContext context_;
    probe::ClassCommands classes_{*this, context_, handles_};
    SmartPtr arrayUse_;
};

int modelCommand(int argc, char** argv) {
    std::string text;
    if (argc != 1 || !probe::readInput(argv[0], text)) {
        std::fprintf(stderr, "usage: model FILE|-\n");
        return 2;
    }
    Script script;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) script.run(line);
    return 0;
}

}  // namespace

KORVO_PROBE("model", "FILE|-", modelCommand);
