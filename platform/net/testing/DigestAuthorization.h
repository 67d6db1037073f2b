#pragma once
// Test support: reading a Digest Authorization field as a loopback server checks it.

#include "platform/net/testing/LoopbackServer.h"

#include <map>
#include <string>

namespace net::testkit {

// The parameters of a Digest Authorization field: name=value or name="value", comma-separated;
// empty when the field is not a Digest answer.
std::map<std::string, std::string> digestParameters(const std::string& field);

// Whether the request carries the MD5 Digest answer (RFC 7616, qop "auth") of `user` and
// `password` to the challenge with `nonce`, for its own method and target.
bool digestAnswerMatches(const RecordedRequest& request, const std::string& user, const std::string& password, const std::string& nonce);

} // namespace net::testkit
