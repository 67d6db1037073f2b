#pragma once
// The session's bound on a data task's body: counted in decoded bytes as they arrive, so a small
// compressed reply that inflates to gigabytes ends as soon as it passes the limit.

#include "platform/net/URLSessionConfiguration.h"

#include <cstdint>

namespace net {

// True when `received` decoded bytes of a task's body are more than the configuration allows.
// Downloads to a file stream to disk and have no limit.
inline bool passesBodyLimit(const URLSessionConfiguration& configuration, bool isDownload, std::int64_t received) {
    return !isDownload && configuration.maximumBodyLength >= 0 && received > configuration.maximumBodyLength;
}

} // namespace net
