#pragma once
// Small file helpers with the guarantees the app's storage needs: a write either lands whole or
// leaves the old file untouched (temporary file, flush, rename, flush of the folder), and a read
// reports a missing file apart from an unreadable one.

#include "platform/core/Error.h"
#include "platform/core/Value.h"

#include <string>
#include <string_view>
#include <sys/types.h>

namespace core::files {

inline constexpr std::string_view kErrorDomain = "core.files";
// Codes: the errno of the failing call.

Expected<Bytes> read(const std::string& path);
bool exists(const std::string& path);

// Writes the whole file atomically with the given permission bits.
Status writeAtomically(const std::string& path, const Bytes& bytes, mode_t mode = 0644);
Status writeAtomically(const std::string& path, std::string_view bytes, mode_t mode = 0644);

// Creates the folder and its parents.
Status createDirectories(const std::string& path, mode_t mode = 0755);
Status remove(const std::string& path);
Status rename(const std::string& from, const std::string& to);

// Keeps a file that cannot be used without destroying it: renames it to "<path>.corrupt.1",
// first shifting the older ones up (".1" -> ".2" ...), so the last `slots` are kept. Gives the
// path it now has.
Expected<std::string> moveAside(const std::string& path, int slots = 3);

// Seams for fault-injection tests: while set, the Nth atomic write from now fails (1 = next).
void failWriteForTesting(int nth);
// While set (non-zero), reads of this one path fail with this errno (for example EACCES, which
// a test run by root cannot get from the file's mode), until a file is written or renamed there
// or away from there.
void failReadsForTesting(const std::string& path, int error);

} // namespace core::files
