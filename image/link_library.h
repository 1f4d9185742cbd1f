// Link libraries (.kl): the compiled objects of a program, written by -kl and
// loaded by -link into another compilation.
//
//   "KD!", u32 version 2, u8 module flag, u32 n, n bytes of module name,
//   then one container record: kind, owner reference, member count, member
//   references.
//
// A reference is a u32 tag: 62 nothing, 32 + u64 built-in key, 66 a built-in
// template instance, 65 + u64
// identity of a record written before, or an object kind (31 class, 23
// function, 18 variable, 52 array, 35 instance, 26 template function)
// followed by the identity and the object's own record.
#pragma once

#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "foundation/qestring.h"
#include "foundation/smart_ptr.h"
#include "foundation/stream.h"
#include "image/declaration_ast.h"
#include "model/library_io.h"

class CompileContext;
class SourceProject;
class cbjson;
struct CompileOptions;

inline constexpr uint32_t kLinkLibraryVersion = 2;
inline constexpr uint32_t kRefNothing = 62;
inline constexpr uint32_t kRefBuiltin = 32;
inline constexpr uint32_t kRefWritten = 65;
// A built-in template instance (List<int>): u64 key of the template, u32
// argument count, the argument references. The reader instantiates the
// template in its own context, so both sides reach one instance.
inline constexpr uint32_t kRefBuiltinInstance = 66;
// A crafted file could nest records until the stack runs out; real
// libraries stay far below this.
inline constexpr uint32_t kMaxOpenRecords = 1024;

// Paths read from a library's declaration trees join the compilation's
// source table.
class ProjectSourcePaths final : public SourcePathTable {
public:
    explicit ProjectSourcePaths(SourceProject& project) : project_(project) {}
    uint32_t registerPath(const qestl::qestringW& path) override;

private:
    SourceProject& project_;
};

// What one write or one read of a library shares.
struct LibraryStreamContext {
    explicit LibraryStreamContext(CompileContext& owner) : context(owner) {}

    CompileContext& context;
    uint8_t moduleFlag = 0;
    qestl::qestringA moduleName;
    uint32_t libraryNumber = 0;
    qestl::SmartPtrVector exports;
    std::unordered_set<uint64_t> hidden;  // serials
};

class LinkLibraryWriter final : public model::LibraryWriter, public LibraryStreamContext {
public:
    LinkLibraryWriter(CompileContext& owner, qestl::ByteVector& bytes)
        : LibraryWriter(bytes), LibraryStreamContext(owner) {}
    bool writeObjectRef(const qestl::SmartPtr& object) override;
    bool writeNothingRef() override;
    bool writeDeclarationTree(const _KNode<qeAbstractNode>& declaration) override;
    uint64_t identityOf(const model::IRObject& object) override;

private:
    // The identity a record takes: its object's own, unless a record already
    // in the file has it (objects of two libraries loaded together may
    // share one); then one of a range no compilation counts up to.
    uint64_t claimIdentity(const model::IRObject& object);

    std::unordered_map<uint64_t, uint64_t> written_;  // serial -> identity of the records in the file
    std::unordered_set<uint64_t> identities_;         // identities in the file
    uint64_t nextFresh_ = uint64_t(1) << 63;
};

class LinkLibraryReader final : public model::LibraryReader, public LibraryStreamContext {
public:
    LinkLibraryReader(CompileContext& owner, const uint8_t* data, size_t size)
        : LibraryReader(data, size), LibraryStreamContext(owner) {}
    bool readObjectRef(qestl::SmartPtr& object) override;
    bool readDeclarationTree(_KNode<qeAbstractNode>& declaration) override;
    bool readBuiltinInstance(qestl::SmartPtr& object);
    // Every object made, in the order made, with its identity.
    std::vector<std::pair<uint64_t, qestl::SmartPtr>> made;
    // The built-in template instances made for its references: each is new,
    // and its members name it as their owner.
    std::vector<qestl::SmartPtr> instances;
    // Detaches what was made (after a failed read: nothing of it is kept).
    void discardMade();

private:
    std::unordered_map<uint64_t, qestl::SmartPtr> identities_;
    uint32_t openRecords_ = 0;
};

// The exports, hidden classes and run-time module of a .kdef document.
void applyLibraryExportSettings(LinkLibraryWriter& writer, const cbjson& document);

// After a clean compile with operands resolved: the library of the program's
// first global container (or of the .kdef exports). False when a reference
// could not be written; nothing is then written to out.
bool writeLinkLibrary(CompileContext& context, qestl::qeistream& out, const CompileOptions& options);

// What a load made, for the probe: every object read in the order made with
// its identity, and the run-time module entered (empty for none).
struct LinkLibraryTrace {
    std::vector<std::pair<uint64_t, qestl::SmartPtr>> objects;
    qestl::qestringA module;
};

// The library in `stream` (at its start) loaded into the context's third
// global container. 1 when loaded; 0 after a message on standard output.
int loadLinkLibrary(uint32_t libraryNumber, CompileContext& context, const qestl::qestringW& path,
                    qestl::qeistream& stream,
                    LinkLibraryTrace* trace = nullptr);
// The part after the version; true when the body was read whole.
bool readLinkLibraryBody(CompileContext& context, qestl::qeistream& stream, const qestl::qestringW& path,
                         uint32_t libraryNumber, LinkLibraryTrace* trace = nullptr);

// The run-time module a library without its own module name declares: its
// file name with the last extension replaced by ".slk".
qestl::qestringA moduleNameFromPath(const qestl::qestringW& path);
