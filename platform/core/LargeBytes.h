#pragma once
// Room for large byte buffers that are filled at once (an encoded body, a copy of one).
//
// The network layer fixes the allocator's mmap threshold (see URLSessionEngine.cpp), so every buffer
// from 128 KiB up is a fresh mapping whose pages fault in one by one when first written, and on a
// virtual machine a fault can cost 10 µs or more: filling a new 8 MiB buffer took about 22 ms
// instead of 0.3 ms. Room reserved here faults in 2 MiB at a time where the system offers
// transparent huge pages on request (its "madvise" or "always" mode); elsewhere it is ordinary
// room. Either way the buffer is freed like any other, and a mapped one goes back to the system.

#include "platform/core/Value.h"

#include <cstddef>

namespace core {

// Makes room for at least `size` bytes in `bytes`, which keeps its content. From 1 MiB up the
// room is rounded up to whole 2 MiB pages and backed by huge pages: a buffer may then hold up to
// 2 MiB more than it uses, until it is freed.
void reserveLarge(Bytes& bytes, std::size_t size);

// A copy of `bytes` in room reserved by reserveLarge(), with room for at least `spare` more.
Bytes copyLarge(const Bytes& bytes, std::size_t spare = 0);

} // namespace core
