// A small compile context for the model's tests: resources and relocation
// entries placed at fixed addresses, diagnostics kept as text.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "codegen/instructions.h"
#include "codegen/relocation_table.h"
#include "model/array_object.h"
#include "model/container.h"
#include "model/ir_object.h"
#include "model/ir_result.h"
#include "model/name_string_pool.h"
#include "model/model_context.h"
#include "model/opcodes.h"

namespace probe {

class TestModelContext : public model::ModelContext {
public:
    TestModelContext() { keepCandidatesIn(candidates); }
    TestModelContext(const TestModelContext&) = delete;
    TestModelContext& operator=(const TestModelContext&) = delete;
    static constexpr uint64_t kResourceBase = 1048576;
    static constexpr uint64_t kRelocationBase = 2097152;

    bool resolveOperand(model::Operand& operand, bool keep) override {
        return codegen::resolveOperand(operand, *this, keep);
    }
    void fixupOperand(model::Operand& operand, model::cbircode& record, uint64_t base) override {
        codegen::fixupOperand(operand, record, base);
    }
    void appendToThirdList(const qestl::SmartPtr& instruction) override { thirdList.pushBack(instruction); }
    qestl::SmartPtr emitToMainList(const model::cbircode& instruction, const model::NodeHandle& node) override {
        qestl::SmartPtr copy = model::adoptLive(new model::cbircode(instruction));
        copy.as<model::cbircode>()->setSource(qestl::SmartPtr(), node);
        mainList.pushBack(copy);
        return copy;
    }
    void addCandidate(const model::IRResult& result) override {
        model::IRObject* object = result.objectPtr();
        if (object != nullptr) {
            if (object->lookupStamp == generation) return;
            object->lookupStamp = generation;
        }
        candidates.pushBack(result);
    }
    model::IRResult* placeCandidate(const qestl::SmartPtr& object) override {
        if (model::IRObject* held = model::asObject(object)) {
            if (held->lookupStamp == generation) return nullptr;
            held->lookupStamp = generation;
        }
        return &candidates.emplaceBack(object);
    }
    void clearCandidates() override { candidates.clear(); }
    uint64_t lookupGeneration() const override { return generation; }
    void addNearMiss(const model::IRResult& result) override { nearMisses.pushBack(result); }
    model::NameStringPool& nameStringPool() override { return pool; }
    qestl::ByteWriter& typeStream() override { return typeWriter; }
    void describeCandidates(qestl::qestringA& text, const model::NodeHandle&) override {
        for (const model::IRResult& candidate : candidates) {
            text.append(" ");
            text.append(candidate.objectPtr()->linkName());
        }
    }
    model::Container& heap(HeapId which) override { return heaps[which]; }
    bool isListedSlotObject(const model::IRObject*) const override { return false; }
    model::IRObject* viewer() const override { return model::asObject(currentViewer); }
    void deliverError(std::string_view text, const model::NodeHandle&) override {
        diagnostics += " error: ";
        diagnostics += text;
        ++errors;
    }
    void deliverWarning(uint32_t code, std::string_view text, const model::NodeHandle&) override {
        diagnostics += " warning " + std::to_string(code) + ": ";
        diagnostics += text;
    }
    uint32_t errorCount() const override { return errors; }
    // Listed among the texts as "bin:" and the bytes in hex.
    model::Operand binaryResource(const uint8_t* data, size_t size) override {
        std::string text = "bin:";
        char pair[3];
        for (size_t i = 0; i < size; ++i) {
            std::snprintf(pair, sizeof pair, "%02x", data[i]);
            text += pair;
        }
        return stringResource(text);
    }
    model::Operand stringResource(std::string_view text) override {
        size_t i = 0;
        while (i < resourceTexts.size() && resourceTexts[i] != text) ++i;
        if (i == resourceTexts.size()) {
            auto* record = new model::cbircode(model::kOpResource, 0);
            record->codeAddress = kResourceBase + 16 * i;
            resources.pushBack(model::adoptLive(record));
            resourceTexts.emplace_back(text);
        }
        model::Operand out;
        out.setObjectRef(resources[i], 0);
        return out;
    }
    model::Operand relocationReference(std::string_view name, const model::Operand& nameOperand,
                                       uint32_t hash) override {
        model::Operand out = relocations.getOrAddRelocationEntry(name, nameOperand, hash);
        const qestl::SmartPtrVector& entries = relocations.entries();
        for (size_t i = 0; i < entries.size(); ++i)
            entries[i].as<model::cbircode>()->codeAddress = kRelocationBase + 64 * i;
        return out;
    }
    bool sharedModule() const override { return false; }
    // Each call makes a new array type; the script releases them at teardown.
    qestl::SmartPtr arrayTypeOf(const qestl::SmartPtr& element) override {
        qestl::SmartPtr made = model::makeArray(element, builtins().longType);
        madeArrays.pushBack(made);
        return made;
    }

    qestl::SmartPtrVector mainList, thirdList, resources, madeArrays;
    std::vector<std::string> resourceTexts;
    codegen::RelocationTable relocations;
    model::IRValueList candidates;
    model::IRValueList nearMisses;
    model::Container heaps[3] = {model::Container(model::kImageHeap), model::Container(model::kImageHeap),
                                 model::Container(model::kImageHeap)};
    model::NameStringPool pool;
    qestl::ByteVector typeBytes;
    qestl::ByteWriter typeWriter{typeBytes};
    uint64_t generation = 1;
    qestl::SmartPtr currentViewer;
    std::string diagnostics;
    uint32_t errors = 0;
};

}  // namespace probe
