#include "Libs/HTTPLayer/Error.h"

#include <cerrno>
#include <exception>
#include <new>
#include <stdexcept>

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

namespace http {

core::Error currentExceptionError() {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return core::Error{kExceptionErrorDomain, ENOMEM, "Not enough memory to complete the request.", {}};
    } catch (const std::exception& e) {
        return core::Error{kExceptionErrorDomain, 1, std::string("The request failed: ") + e.what(), {}};
    } catch (...) {
        return core::Error{kExceptionErrorDomain, 1, "The request failed with an unknown exception.", {}};
    }
}

} // namespace http
