#include "platform/core/LargeBytes.h"

#include <algorithm>
#include <cstdint>

#include <sys/mman.h>
#include <unistd.h>

#ifndef MADV_COLLAPSE
#define MADV_COLLAPSE 25
#endif

namespace core {

namespace {

constexpr std::size_t kHugePage = 2 * 1024 * 1024;
constexpr std::size_t kLargeFrom = 1024 * 1024;
// glibc maps a large block with a 16-byte header before the pointer it returns and 8 bytes of
// rounding, so a request 24 bytes short of whole huge pages is a mapping of exactly those pages,
// which the kernel places on a huge-page boundary. Any other allocator only loses the boundary
// (some of the room then faults in small pages); nothing depends on it being right.
constexpr std::size_t kBlockOverhead = 24;

// Asks for huge pages over the room of `capacity` bytes at `data`, up to the huge page where the
// `size` bytes that will be used end if they reach at least half into it: a huge page faults in
// whole, so the few bytes of a last one barely begun are left to small pages.
void adviseHugePages(const std::uint8_t* data, std::size_t size, std::size_t capacity) {
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto at = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t begin = at & ~(page - 1);
    const std::uintptr_t end = std::min((at + size + kHugePage / 2) & ~(kHugePage - 1), (at + capacity + page - 1) & ~(page - 1));
    if (end <= begin) return;
    if (::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE) != 0) return;
    // The allocator has written its header into the first page already, which made that page a
    // small one; the first huge page is filled out at once instead (the header's bytes stay).
    if (begin % kHugePage == 0 && end - begin >= kHugePage)
        (void)::madvise(reinterpret_cast<void*>(begin), kHugePage, MADV_COLLAPSE);
}

} // namespace

void reserveLarge(Bytes& bytes, std::size_t size) {
    if (size <= bytes.capacity()) return;
    if (size < kLargeFrom) return bytes.reserve(size);
    const std::size_t room = (size + kBlockOverhead + kHugePage - 1) / kHugePage * kHugePage - kBlockOverhead;
    bytes.reserve(room);
    adviseHugePages(bytes.data(), size, bytes.capacity());
}

Bytes copyLarge(const Bytes& bytes, std::size_t spare) {
    Bytes copy;
    reserveLarge(copy, bytes.size() + spare);
    copy.assign(bytes.begin(), bytes.end());
    return copy;
}

} // namespace core
