#pragma once
// The `errcode` values of the sample service's answers. Successes carry 0; a refused request
// carries the code of the first check it failed.

#include <cstdint>

namespace service::errcode {

inline constexpr std::int64_t kNone = 0;
inline constexpr std::int64_t kHeader = 40001;    // a required header is missing or has a wrong value
inline constexpr std::int64_t kTimestamp = 40002; // random_time is missing, malformed or too far from now
inline constexpr std::int64_t kSignature = 40003; // sign is missing or does not match the parameters
inline constexpr std::int64_t kNotFound = 40400;  // no such interface
inline constexpr std::int64_t kServer = 50000;    // the content could not be read

} // namespace service::errcode
