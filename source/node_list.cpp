#include "source/node_list.h"

#include <sanitizer/asan_interface.h>

#include <cstdlib>
#include <cstring>
#include <array>
#include <iterator>

#include <sys/mman.h>

#include "foundation/memory.h"
#include "source/list_storage.h"
#include "syntax/rule_ids.h"

namespace nodelist {

namespace {

// The arena's storage sizes: the exact bytes of 2 to 7 handles, then blocks
// of a header and 15, 31, 63, 127 or 255 handles. Larger blocks (hundreds
// of handles, rare) come from malloc.
constexpr uint32_t kBlockCapacities[] = {15, 31, 63, 127, 255};
constexpr size_t kShortClasses = kShortLength - 1;
constexpr size_t kClasses = kShortClasses + std::size(kBlockCapacities);
constexpr size_t kChunkBytes = 256 * 1024;

size_t shortClass(size_t count) { return count - 2; }
size_t blockCapacityOf(size_t sizeClass) { return kBlockCapacities[sizeClass - kShortClasses]; }
size_t bytesOf(size_t sizeClass) {
    if (sizeClass < kShortClasses) return (sizeClass + 2) * sizeof(Header);
    return (blockCapacityOf(sizeClass) + 1) * sizeof(Header);
}

// The class of a block for at least `capacity` handles; kClasses means a
// malloc'ed block.
size_t blockClassFor(size_t capacity) {
    size_t sizeClass = kShortClasses;
    while (sizeClass < kClasses && blockCapacityOf(sizeClass) < capacity) ++sizeClass;
    return sizeClass;
}

// The arenas' chunks are aligned on their size, so a list's storage finds
// its chunk's head, and the head's first word tells the arenas apart.
constexpr uint64_t kMainChunk = 0;
constexpr uint64_t kBodyChunk = 1;
constexpr size_t kMainHeadBytes = 2 * sizeof(void*);

// A bodies' chunk is mapped on its own rather than taken from malloc: one
// given back returns its pages at once, where malloc would keep them idle in
// its heap.
void* mappedChunk() {
    void* mapped = mmap(nullptr, 2 * kChunkBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) qestl::outOfMemory(kChunkBytes);
    const uintptr_t start = reinterpret_cast<uintptr_t>(mapped);
    const uintptr_t aligned = (start + kChunkBytes - 1) & ~uintptr_t{kChunkBytes - 1};
    if (aligned != start) munmap(mapped, aligned - start);
    const uintptr_t end = start + 2 * kChunkBytes;
    if (aligned + kChunkBytes != end)
        munmap(reinterpret_cast<void*>(aligned + kChunkBytes), end - aligned - kChunkBytes);
    return reinterpret_cast<void*>(aligned);
}

uint64_t chunkKind(const void* storage) {
    uint64_t kind;
    std::memcpy(&kind,
                reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(storage) & ~uintptr_t{kChunkBytes - 1}),
                sizeof kind);
    return kind;
}

// The first block of a size's free list, taken off it; null when none waits.
char* popFree(char*& list, size_t bytes) {
    char* storage = list;
    if (storage != nullptr) {
        ASAN_UNPOISON_MEMORY_REGION(storage, bytes);
        std::memcpy(&list, storage, sizeof(char*));
    }
    return storage;
}

// The main arena: chunks carved front to back, one free list per size.
// Released storage waits on its list for the next list of its size; nothing
// is given back before the process ends (the declarations' lists live about
// as long as the tree). Each chunk's head holds the address of the one
// before, so every chunk stays reachable. Free and uncarved bytes are
// poisoned under AddressSanitizer, so a handle read through a released list
// is reported.
class Arena {
public:
    void* take(size_t sizeClass) {
        const size_t bytes = bytesOf(sizeClass);
        char* storage = popFree(free_[sizeClass], bytes);
        if (storage != nullptr) return storage;
        if (bytes > left_) {
            // The rest of the chunk stays unused (less than one block).
            auto* chunk = static_cast<char*>(std::aligned_alloc(kChunkBytes, kChunkBytes));
            if (chunk == nullptr) qestl::outOfMemory(kChunkBytes);
            std::memcpy(chunk, &kMainChunk, sizeof kMainChunk);
            std::memcpy(chunk + sizeof kMainChunk, &chunk_, sizeof chunk_);
            chunk_ = chunk;
            next_ = chunk + kMainHeadBytes;
            left_ = kChunkBytes - kMainHeadBytes;
            ASAN_POISON_MEMORY_REGION(next_, left_);
        }
        storage = next_;
        next_ += bytes;
        left_ -= bytes;
        ASAN_UNPOISON_MEMORY_REGION(storage, bytes);
        return storage;
    }

    void give(void* storage, size_t sizeClass) {
        std::memcpy(storage, &free_[sizeClass], sizeof(char*));
        free_[sizeClass] = static_cast<char*>(storage);
        ASAN_POISON_MEMORY_REGION(storage, bytesOf(sizeClass));
    }

private:
    char* free_[kClasses] = {};
    char* chunk_ = nullptr;
    char* next_ = nullptr;
    size_t left_ = 0;
};

// The bodies' arena, and the one of class and method declarations: chunks
// that count the lists they hold, in one chain, each naming its arena.
// While the tree is built, released storage waits on a free list per size
// as in Arena. Once it is built, the bodies are compiled and released one
// after the other and no list of a body is made any more: storage given
// back is only counted, and a chunk that holds no list is unmapped (the one
// being carved starts over instead). A body's lists lie together, so the
// chunks empty as the compile goes (varied code: all but one).
class BodyArena {
public:
    // Storage of a chunk of kind kBodyChunk, back to the arena it is of.
    static void giveBack(void* storage, size_t sizeClass) { chunkOf(storage)->arena->give(storage, sizeClass); }

    void* take(size_t sizeClass) {
        const size_t bytes = bytesOf(sizeClass);
        char* storage = popFree(free_[sizeClass], bytes);
        if (storage == nullptr) {
            if (bytes > left_) openChunk();
            storage = next_;
            next_ += bytes;
            left_ -= bytes;
            ASAN_UNPOISON_MEMORY_REGION(storage, bytes);
        }
        ++chunkOf(storage)->lists;
        return storage;
    }

    void give(void* storage, size_t sizeClass) {
        ChunkHead* chunk = chunkOf(storage);
        --chunk->lists;
        if (!built_) {
            std::memcpy(storage, &free_[sizeClass], sizeof(char*));
            free_[sizeClass] = static_cast<char*>(storage);
            ASAN_POISON_MEMORY_REGION(storage, bytesOf(sizeClass));
            return;
        }
        ASAN_POISON_MEMORY_REGION(storage, bytesOf(sizeClass));
        if (chunk->lists == 0) emptied(chunk);
    }

    void setBuilt(bool built) {
        if (built == built_) return;
        built_ = built;
        if (!built) return;
        // The waiting storage is forgotten (it is counted as free already),
        // and every chunk that holds no list goes.
        for (char*& head : free_) head = nullptr;
        ChunkHead* chunk = chain_;
        while (chunk != nullptr) {
            ChunkHead* next = chunk->next;
            if (chunk->lists == 0) emptied(chunk);
            chunk = next;
        }
    }

private:
    struct ChunkHead {
        uint64_t kind;
        ChunkHead* previous;
        ChunkHead* next;
        uint64_t lists;
        BodyArena* arena;
    };

    static ChunkHead* chunkOf(void* storage) {
        return reinterpret_cast<ChunkHead*>(reinterpret_cast<uintptr_t>(storage) & ~uintptr_t{kChunkBytes - 1});
    }

    void openChunk() {
        // The rest of the chunk stays unused (less than one block).
        auto* chunk = static_cast<ChunkHead*>(mappedChunk());
        chunk->kind = kBodyChunk;
        chunk->arena = this;
        chunk->previous = nullptr;
        chunk->next = chain_;
        chunk->lists = 0;
        if (chain_ != nullptr) chain_->previous = chunk;
        chain_ = chunk;
        carving_ = chunk;
        startCarving();
    }

    void startCarving() {
        next_ = reinterpret_cast<char*>(carving_ + 1);
        left_ = kChunkBytes - sizeof(ChunkHead);
        ASAN_POISON_MEMORY_REGION(next_, left_);
    }

    void emptied(ChunkHead* chunk) {
        if (chunk == carving_) {
            startCarving();
            return;
        }
        if (chunk->previous != nullptr) chunk->previous->next = chunk->next;
        else chain_ = chunk->next;
        if (chunk->next != nullptr) chunk->next->previous = chunk->previous;
        ASAN_UNPOISON_MEMORY_REGION(chunk, kChunkBytes);
        munmap(chunk, kChunkBytes);
    }

    char* free_[kClasses] = {};
    ChunkHead* chain_ = nullptr;
    ChunkHead* carving_ = nullptr;
    char* next_ = nullptr;
    size_t left_ = 0;
    bool built_ = false;
};

// The rules whose lists belong to a body: statements and the expressions
// within them (member accesses, object creations and generic types also
// appear in declarations that stay, and stay in the main arena).
constexpr uint32_t kBodyRules[] = {RuleId::Call,
                                   RuleId::AdditiveExpression,
                                   RuleId::ArgumentList,
                                   RuleId::StatementList,
                                   RuleId::ShiftExpression,
                                   RuleId::XorExpression,
                                   RuleId::BitOrExpression,
                                   RuleId::MultiplicativeExpression,
                                   RuleId::BitAndExpression,
                                   RuleId::Assignment,
                                   RuleId::UnaryExpression,
                                   RuleId::ForStatement,
                                   RuleId::CaseGroup,
                                   RuleId::IfStatement,
                                   RuleId::ForEachStatement,
                                   RuleId::RelationalExpression,
                                   RuleId::TryStatement,
                                   RuleId::SwitchStatement,
                                   RuleId::WhileStatement,
                                   RuleId::CatchClause,
                                   RuleId::EqualityExpression,
                                   RuleId::LogicalOrExpression,
                                   RuleId::LogicalAndExpression,
                                   RuleId::MemberAccessChain,
                                   RuleId::Subscript};

// The rules of the declarations a compiled class lets go of, the class's
// and its methods'.
constexpr uint32_t kDeclarationRules[] = {RuleId::ClassDeclaration,      RuleId::InterfaceDeclaration,
                                          RuleId::EnumDeclaration,       RuleId::MethodDefinition,
                                          RuleId::ConstructorDefinition, RuleId::OperatorDefinition};

constexpr uint32_t kRuleLimit = 512;

constexpr std::array<Storage, kRuleLimit> ruleStorageTable() {
    std::array<Storage, kRuleLimit> table{};
    for (uint32_t rule : kBodyRules) table[rule] = Storage::Body;
    for (uint32_t rule : kDeclarationRules) table[rule] = Storage::Declaration;
    return table;
}

constinit const std::array<Storage, kRuleLimit> kRuleStorages = ruleStorageTable();

// The node lists' storage: the three arenas, and the one the lists being
// built are taken from (null: the main arena). Storage goes back by its
// chunk's head (the main arena's, or the counting arena it names), so a
// list released after the parse, or by a static destructor, needs nothing
// but its own word to find where.
class ListStore {
public:
    [[gnu::always_inline]] void* take(size_t sizeClass) {
        if (building_ == nullptr) return main_.take(sizeClass);
        return building_->take(sizeClass);
    }
    [[gnu::always_inline]] void give(void* storage, size_t sizeClass) {
        if (chunkKind(storage) == kBodyChunk) {
            BodyArena::giveBack(storage, sizeClass);
        } else {
            main_.give(storage, sizeClass);
        }
    }
    void buildFor(Storage storage) {
        building_ = storage == Storage::Body ? &bodies_ : storage == Storage::Declaration ? &declarations_ : nullptr;
    }
    void setTreeBuilt(bool built) {
        building_ = nullptr;
        bodies_.setBuilt(built);
        declarations_.setBuilt(built);
    }

private:
    Arena main_;
    BodyArena bodies_;
    BodyArena declarations_;
    BodyArena* building_ = nullptr;
};

constinit ListStore gLists;

[[gnu::always_inline]] inline void* takeClass(size_t sizeClass) { return gLists.take(sizeClass); }

[[gnu::always_inline]] inline void giveClass(void* storage, size_t sizeClass) { gLists.give(storage, sizeClass); }

}  // namespace

void noteRule(uint32_t rule) { gLists.buildFor(rule < kRuleLimit ? kRuleStorages[rule] : Storage::Main); }

void setTreeBuilt(bool built) { gLists.setTreeBuilt(built); }

void* takeShort(size_t count) { return takeClass(shortClass(count)); }

void giveShort(void* handles, size_t count) { giveClass(handles, shortClass(count)); }

Header* takeBlock(size_t capacity) {
    // All ones is no count (the house vector's borrowed mark, never a size).
    if (capacity >= UINT32_MAX) qestl::outOfMemory(capacity * sizeof(Header));
    const size_t sizeClass = blockClassFor(capacity);
    Header* block;
    if (sizeClass == kClasses) {
        block = static_cast<Header*>(qestl::allocateOrDie((capacity + 1) * sizeof(Header)));
    } else {
        block = static_cast<Header*>(takeClass(sizeClass));
        capacity = blockCapacityOf(sizeClass);
    }
    block->count = 0;
    block->capacity = static_cast<uint32_t>(capacity);
    return block;
}

void giveBlock(Header* block) {
    const size_t sizeClass = blockClassFor(block->capacity);
    if (sizeClass == kClasses) {
        std::free(block);
    } else {
        giveClass(block, sizeClass);
    }
}

}  // namespace nodelist

namespace {

void moveHandles(NodeList::Handle* to, const NodeList::Handle* from, size_t n) {
    if (n != 0) std::memmove(static_cast<void*>(to), static_cast<const void*>(from), n * sizeof(NodeList::Handle));
}

}  // namespace

void NodeList::releaseStorage() {
    const uintptr_t tag = slot_.word & kTagMask;
    if (tag == kBlock) {
        if (slot_.word != kEmpty) nodelist::giveBlock(block());
    } else if (tag != kOne) {
        nodelist::giveClass(reinterpret_cast<void*>(slot_.word & ~kTagMask), nodelist::shortClass(tag));
    }
    slot_.word = kEmpty;
}

void NodeList::insertRange(size_t index, const Handle* from, size_t n) {
    if (n == 0) return;
    const size_t held = size();
    if (n == 1 && index == held && held != 0 && held < nodelist::kShortLength) {
        // One more handle at the end of a short list, the way most lists are
        // built: the handles move to a short list one longer in one copy.
        // The new one is counted first, as it may lie in the old storage.
        auto* target = static_cast<Handle*>(nodelist::takeClass(nodelist::shortClass(held + 1)));
        new (target + held) Handle(*from);
        std::memcpy(static_cast<void*>(target), static_cast<const void*>(items()), held * sizeof(Handle));
        releaseStorage();
        slot_.word = reinterpret_cast<uintptr_t>(target) | (held + 1);
        return;
    }
    // Counted copies first: the handles may lie in this list's own storage,
    // which may move or shift below.
    constexpr size_t kLocal = 8;
    alignas(Handle) unsigned char local[kLocal * sizeof(Handle)];
    Handle* copies = n <= kLocal ? reinterpret_cast<Handle*>(local)
                                 : static_cast<Handle*>(qestl::allocateOrDie(n * sizeof(Handle)));
    for (size_t i = 0; i < n; ++i) new (copies + i) Handle(from[i]);

    const size_t count = size();
    const size_t total = count + n;
    if (total == 1) {
        moveHandles(&slot_.single, copies, 1);
    } else if ((slot_.word & kTagMask) == kBlock && count != 0 && total <= block()->capacity) {
        Handle* held = items();
        moveHandles(held + index + n, held + index, count - index);
        moveHandles(held + index, copies, n);
        block()->count = static_cast<uint32_t>(total);
    } else {
        // A short list takes exactly its size; a longer one grows by the
        // house rule.
        Handle* target;
        uintptr_t word;
        if (total <= nodelist::kShortLength) {
            target = static_cast<Handle*>(nodelist::takeClass(nodelist::shortClass(total)));
            word = reinterpret_cast<uintptr_t>(target) | total;
        } else {
            nodelist::Header* fresh = nodelist::takeBlock(count * 2 + n);
            fresh->count = static_cast<uint32_t>(total);
            target = reinterpret_cast<Handle*>(fresh + 1);
            word = reinterpret_cast<uintptr_t>(fresh) | kBlock;
        }
        if (count != 0) {
            moveHandles(target, items(), index);
            moveHandles(target + index + n, items() + index, count - index);
            releaseStorage();
        }
        moveHandles(target + index, copies, n);
        slot_.word = word;
    }
    if (n > kLocal) std::free(copies);
}

void NodeList::clearHandles() {
    if ((slot_.word & kTagMask) == kOne) {
        // Emptied before the node goes: its release may take other nodes along.
        Handle single(std::move(slot_.single));
        slot_.word = kEmpty;
        return;
    }
    Handle* handles = items();
    const size_t count = size();
    for (size_t i = 0; i < count; ++i) handles[i].~Handle();
    releaseStorage();
}
