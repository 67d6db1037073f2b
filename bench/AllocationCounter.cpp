// The counting allocator: glibc's malloc family replaced by functions that count and forward.
//
// glibc lets a program define malloc, free, calloc and realloc (and should it define those, the
// aligned forms and malloc_usable_size too): every library in the process, libc itself included,
// then calls them. They forward to glibc's allocator through its exported __libc_* entry points.
//
// Each block gets a 16-byte prefix just below the address handed out: the address glibc gave
// (the block's start), the slot of the thread that made it and a marker. The marker sits where
// glibc keeps the upper half of a chunk's size, which is zero for any chunk under 4 GiB, so a block
// that did not come through here (none should, but the loader is free to hand one over) is told
// apart and goes straight to glibc.
//
// Each thread owns a slot of counters that only it writes, so counting shares no cache line
// between threads; readers take a snapshot between runs. Threads beyond the table share its last
// slot (counted with atomic additions).

#include "bench/AllocationCounter.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <dlfcn.h>
#include <malloc.h>
#include <sys/syscall.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define QUILLORA_COUNT_ALLOCATIONS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILLORA_COUNT_ALLOCATIONS 0
#endif
#endif
#ifndef QUILLORA_COUNT_ALLOCATIONS
#define QUILLORA_COUNT_ALLOCATIONS 1
#endif

namespace bench::allocations {
namespace {

constexpr int kSlots = 256;
constexpr int kSharedSlot = kSlots - 1;

struct alignas(64) Slot {
    std::atomic<pid_t> tid{0};
    std::atomic<std::uint64_t> allocations{0};
    std::atomic<std::uint64_t> freedFrom[kSlots]{};
};

Slot slots[kSlots];
std::atomic<int> slotsClaimed{0};
thread_local int threadSlot = -1;

int claimSlot() {
    int slot = slotsClaimed.fetch_add(1, std::memory_order_relaxed);
    if (slot >= kSharedSlot) {
        slot = kSharedSlot;
    } else {
        slots[slot].tid.store(static_cast<pid_t>(syscall(SYS_gettid)), std::memory_order_relaxed);
    }
    threadSlot = slot;
    return slot;
}

int mySlot() { return threadSlot >= 0 ? threadSlot : claimSlot(); }

void bump(std::atomic<std::uint64_t>& counter, int slot) {
    if (slot == kSharedSlot) {
        counter.fetch_add(1, std::memory_order_relaxed);
    } else { // only the owning thread writes: no locked instruction needed
        counter.store(counter.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    }
}

} // namespace

std::vector<ThreadCounts> snapshot() {
    const int claimed = std::min(slotsClaimed.load(std::memory_order_relaxed), kSlots);
    std::vector<ThreadCounts> result(static_cast<std::size_t>(claimed));
    for (int i = 0; i < claimed; ++i) {
        auto& out = result[static_cast<std::size_t>(i)];
        out.tid = slots[i].tid.load(std::memory_order_relaxed);
        out.allocations = slots[i].allocations.load(std::memory_order_relaxed);
        out.freedFrom.resize(static_cast<std::size_t>(claimed));
        for (int j = 0; j < claimed; ++j) out.freedFrom[static_cast<std::size_t>(j)] = slots[i].freedFrom[j].load(std::memory_order_relaxed);
    }
    return result;
}

int currentSlot() { return mySlot(); }

bool active() { return QUILLORA_COUNT_ALLOCATIONS && slotsClaimed.load(std::memory_order_relaxed) > 0; }

} // namespace bench::allocations

#if QUILLORA_COUNT_ALLOCATIONS

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* block, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* block);
}

namespace {

using namespace bench::allocations;

constexpr std::size_t kPrefix = 16;
constexpr std::uint32_t kMarker = 0x51a110c8;

struct Prefix {
    char* start;          // what glibc returned
    std::uint32_t slot;   // the thread that made the block
    std::uint32_t marker; // kMarker; zero in a chunk glibc handed out directly
};
static_assert(sizeof(Prefix) == kPrefix);

Prefix* prefixOf(void* block) { return reinterpret_cast<Prefix*>(static_cast<char*>(block) - kPrefix); }

// Marks a block that glibc returned at `start` and hands out `start + offset`.
void* handOut(void* start, std::size_t offset) {
    if (!start) return nullptr;
    const int slot = mySlot();
    bump(slots[slot].allocations, slot);
    char* block = static_cast<char*>(start) + offset;
    *prefixOf(block) = Prefix{static_cast<char*>(start), static_cast<std::uint32_t>(slot), kMarker};
    return block;
}

// Counts the release of a counted block and returns what glibc gave for it.
char* takeBack(void* block) {
    Prefix* prefix = prefixOf(block);
    const int slot = mySlot();
    bump(slots[slot].freedFrom[prefix->slot], slot);
    prefix->marker = 0;
    return prefix->start;
}

bool counted(void* block) { return prefixOf(block)->marker == kMarker; }

std::size_t glibcUsableSize(void* start) {
    using UsableSize = std::size_t (*)(void*);
    static std::atomic<UsableSize> glibc{nullptr};
    UsableSize f = glibc.load(std::memory_order_relaxed);
    if (!f) {
        f = reinterpret_cast<UsableSize>(dlsym(RTLD_NEXT, "malloc_usable_size"));
        glibc.store(f, std::memory_order_relaxed);
    }
    return f(start);
}

void* alignedBlock(std::size_t alignment, std::size_t size) {
    if (alignment <= kPrefix) return malloc(size);
    std::size_t total = 0;
    if (__builtin_add_overflow(size, alignment, &total)) {
        errno = ENOMEM;
        return nullptr;
    }
    return handOut(__libc_memalign(alignment, total), alignment);
}

bool isPowerOfTwo(std::size_t n) { return n && !(n & (n - 1)); }

} // namespace

extern "C" {

void* malloc(std::size_t size) noexcept {
    if (size > SIZE_MAX - kPrefix) {
        errno = ENOMEM;
        return nullptr;
    }
    return handOut(__libc_malloc(size + kPrefix), kPrefix);
}

void free(void* block) noexcept {
    if (!block) return;
    __libc_free(counted(block) ? takeBack(block) : block);
}

void* calloc(std::size_t count, std::size_t size) noexcept {
    std::size_t bytes = 0;
    if (__builtin_mul_overflow(count, size, &bytes) || bytes > SIZE_MAX - kPrefix) {
        errno = ENOMEM;
        return nullptr;
    }
    return handOut(__libc_calloc(1, bytes + kPrefix), kPrefix);
}

void* realloc(void* block, std::size_t size) noexcept {
    if (!block) return malloc(size);
    if (size == 0) { // as glibc does
        free(block);
        return nullptr;
    }
    if (!counted(block)) return __libc_realloc(block, size);
    Prefix* prefix = prefixOf(block);
    if (prefix->start + kPrefix == block) { // a plain block: glibc can grow it in place
        if (size > SIZE_MAX - kPrefix) {
            errno = ENOMEM;
            return nullptr;
        }
        const Prefix before = *prefix;
        char* start = takeBack(block);
        void* moved = __libc_realloc(start, size + kPrefix);
        if (!moved) { // the old block stays as it was
            *prefix = before;
            return nullptr;
        }
        return handOut(moved, kPrefix);
    }
    // An aligned block: a new plain one, then the bytes over.
    const std::size_t old = glibcUsableSize(prefix->start) - static_cast<std::size_t>(static_cast<char*>(block) - prefix->start);
    void* moved = malloc(size);
    if (!moved) return nullptr;
    std::memcpy(moved, block, std::min(old, size));
    free(block);
    return moved;
}

void* reallocarray(void* block, std::size_t count, std::size_t size) noexcept {
    std::size_t bytes = 0;
    if (__builtin_mul_overflow(count, size, &bytes)) {
        errno = ENOMEM;
        return nullptr;
    }
    return realloc(block, bytes);
}

void* memalign(std::size_t alignment, std::size_t size) noexcept {
    std::size_t powerOfTwo = 1; // glibc rounds any other alignment up to one
    while (powerOfTwo < alignment) powerOfTwo <<= 1;
    return alignedBlock(powerOfTwo, size);
}

void* aligned_alloc(std::size_t alignment, std::size_t size) noexcept { return memalign(alignment, size); }

int posix_memalign(void** out, std::size_t alignment, std::size_t size) noexcept {
    if (!isPowerOfTwo(alignment) || alignment % sizeof(void*) != 0) return EINVAL;
    void* block = alignedBlock(alignment, size);
    if (!block) return ENOMEM;
    *out = block;
    return 0;
}

void* valloc(std::size_t size) noexcept { return alignedBlock(static_cast<std::size_t>(sysconf(_SC_PAGESIZE)), size); }

void* pvalloc(std::size_t size) noexcept {
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return alignedBlock(page, (size + page - 1) / page * page);
}

std::size_t malloc_usable_size(void* block) noexcept {
    if (!block) return 0;
    if (!counted(block)) return glibcUsableSize(block);
    Prefix* prefix = prefixOf(block);
    return glibcUsableSize(prefix->start) - static_cast<std::size_t>(static_cast<char*>(block) - prefix->start);
}

} // extern "C"

#endif
