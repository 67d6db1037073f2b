#pragma once
// The qualified name of an app class as the pages use it for reuse identifiers and notification
// names: the module name, a point and the class's stable name ("Quillora.QUMainController").
#include <string>
#include <string_view>

namespace kit {

inline std::string qualifiedClassName(std::string_view className) {
    return "Quillora." + std::string(className);
}

} // namespace kit
