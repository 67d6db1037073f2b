#pragma once
// Test support: a gzip stream of `inflatedSize` zero bytes, made in small pieces so the caller
// never holds the inflated body (a gigabyte compresses to about a megabyte).

#include <cstddef>
#include <string>

namespace net::testkit {

std::string gzipOfZeros(std::size_t inflatedSize);

} // namespace net::testkit
