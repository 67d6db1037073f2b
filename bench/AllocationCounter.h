#pragma once
// Counts heap allocation calls per thread in a benchmark program, and which thread frees what
// another thread allocated.
//
// Linking AllocationCounter.cpp into a program replaces malloc and its family for the whole
// process (libcurl, OpenSSL and libstdc++'s operator new included), as glibc allows: every call
// is forwarded to glibc's own allocator and counted on the calling thread. Each block carries
// the number of the thread that made it in a 16-byte prefix, so a free on another thread is seen.
// Counting costs a few instructions per call and touches no memory shared between threads.
// Under AddressSanitizer nothing is replaced and `active()` is false.

#include <cstdint>
#include <sys/types.h>
#include <vector>

namespace bench::allocations {

struct ThreadCounts {
    pid_t tid = 0;                         // 0 for the slot shared by threads beyond the table
    std::uint64_t allocations = 0;         // malloc, calloc, realloc, the aligned forms, operator new
    std::vector<std::uint64_t> freedFrom;  // [slot]: frees on this thread of blocks made on that slot's thread
};

// Every thread that has allocated so far, by slot number (a slot is never reused).
std::vector<ThreadCounts> snapshot();

// The calling thread's slot.
int currentSlot();

bool active();

} // namespace bench::allocations
