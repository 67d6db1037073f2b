#include "Libs/HTTPLayer/Error.h"

namespace http::detail {

std::string platformErrorMessage(const core::Error& error) {
    if (!error.description.empty()) return error.description;
    return "The operation couldn\u2019t be completed. (" + error.domain + " error " + std::to_string(error.code) + ".)";
}

std::string platformErrorDescription(const core::Error& error) {
    return "Error Domain=" + error.domain + " Code=" + std::to_string(error.code) + " \"" +
           platformErrorMessage(error) + "\"";
}

} // namespace http::detail
