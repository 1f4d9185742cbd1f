// The lent records' bytes written from memory are the bytes an encoding
// would write, wherever the records and their targets lie this time.
#include <gtest/gtest.h>

#include "codegen/instructions.h"
#include "codegen/lent_bytes.h"
#include "model/opcodes.h"

namespace {

using model::cbircode;

// The image writer's form, shortened: a reflection entry (tag, position, a
// type operand: a class id, or `typeAddress` less the base) and the record,
// its references fixed up against its end.
struct Encoder final : codegen::LentBytes::RecordEncoder {
    uint64_t typeAddress = 0;  // 0: the type has an id
    void encode(cbircode& record, qestl::ByteWriter& out, qestl::ByteWriter& aux, uint64_t at) override {
        aux.u32le(0x5F00);
        aux.u64le(at);
        typeOperand(record, aux, 0);
        for (uint32_t i = 0; i < record.operandCount; ++i)
            codegen::fixupOperand(record.operands[i], record, at + record.encodedSize());
        out.u32le(record.opcode);
        for (uint32_t i = 0; i < record.operandCount; ++i) {
            out.u32le(record.operands[i].encodedKind);
            out.u64le(static_cast<uint64_t>(record.operands[i].encodedValue()));
        }
    }
    void typeOperand(cbircode&, qestl::ByteWriter& aux, uint64_t base) override {
        aux.u32le(0);
        aux.u64le(typeAddress != 0 ? typeAddress - base : 7);
    }
};

struct Lent {
    qestl::SmartPtr target = qestl::SmartPtr(new cbircode(model::kOpResource, 0));
    qestl::SmartPtrVector list;

    Lent() {
        target.as<cbircode>()->kept = model::kKeptLent;
        for (int i = 0; i < 3; ++i) {
            qestl::SmartPtr record(new cbircode(model::kOpJmp, 1));
            record.as<cbircode>()->operands[0].setObjectRef(target, 0);
            // The third is the compilation's own.
            record.as<cbircode>()->kept = i < 2 ? model::kKeptLent : model::kNotKept;
            list.pushBack(record);
        }
    }
    // The records from `at` on, the target at `targetAt`; what the encoder
    // writes for the lent two there, and what the memory writes.
    void placeAt(uint64_t at, uint64_t targetAt) {
        for (const qestl::SmartPtr& record : list) {
            record.as<cbircode>()->codeAddress = at;
            at += record.as<cbircode>()->encodedSize();
        }
        target.as<cbircode>()->codeAddress = targetAt;
    }
    size_t write(codegen::LentBytes& lent, Encoder& encoder, uint64_t at, qestl::ByteVector& bytes,
                 qestl::ByteVector& aux) {
        qestl::ByteWriter out(bytes), reflection(aux);
        out.zeros(at);
        return lent.writeLeadingRecords(list, out, reflection, encoder);
    }
    void encode(Encoder& encoder, uint64_t at, qestl::ByteVector& bytes, qestl::ByteVector& aux) {
        qestl::ByteWriter out(bytes), reflection(aux);
        out.zeros(at);
        for (size_t i = 0; i < 2; ++i) encoder.encode(*list[i].as<cbircode>(), out, reflection, out.position());
    }
};

TEST(LentBytes, WrittenFromMemoryAsEncodedWhereverTheyLie) {
    Lent lent;
    codegen::LentBytes memory;
    Encoder encoder;
    qestl::ByteVector bytes, aux, want, wantAux;
    lent.placeAt(100, 500);
    EXPECT_EQ(lent.write(memory, encoder, 100, bytes, aux), 2u) << "made from this encoding";
    // Uses alternate: encoded and compared (an internal fault if they
    // differed), then written from memory.
    for (uint64_t shift : {40, 72}) {
        lent.placeAt(100 + shift, 500 + 3 * shift);
        for (int use = 0; use < 2; ++use) {
            bytes.clear(), aux.clear(), want.clear(), wantAux.clear();
            EXPECT_EQ(lent.write(memory, encoder, 100 + shift, bytes, aux), 2u);
            lent.encode(encoder, 100 + shift, want, wantAux);
            EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.end()), std::vector<uint8_t>(want.begin(), want.end()));
            EXPECT_EQ(std::vector<uint8_t>(aux.begin(), aux.end()),
                      std::vector<uint8_t>(wantAux.begin(), wantAux.end()));
        }
    }
    // A record the compilation wrote is encoded as always.
    cbircode& written = *lent.list[1].as<cbircode>();
    written.noteWrite();
    bytes.clear(), aux.clear();
    EXPECT_EQ(lent.write(memory, encoder, 100, bytes, aux), 0u);
}

TEST(LentBytes, ATypeOperandNamingAnAddressIsNeverKept) {
    Lent lent;
    codegen::LentBytes memory;
    Encoder encoder;
    encoder.typeAddress = 4096;
    qestl::ByteVector bytes, aux;
    lent.placeAt(100, 500);
    EXPECT_EQ(lent.write(memory, encoder, 100, bytes, aux), 2u) << "encoded, none kept";
    bytes.clear(), aux.clear();
    EXPECT_EQ(lent.write(memory, encoder, 100, bytes, aux), 0u);
}

}  // namespace
