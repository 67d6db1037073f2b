#pragma once
// The sample content a new database is filled from: service/data/seed.json, compiled into the
// program so that the binary seeds a database wherever it runs.

#include <string_view>

namespace service {

std::string_view seedJson();

} // namespace service
