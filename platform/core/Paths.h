#pragma once
// Where the app keeps its files, following the XDG base directories with the app id "quillora".
// HOME and the XDG_* variables are read on every call, so tests redirect everything by pointing
// HOME at a temporary folder.

#include <string>

namespace core::paths {

inline constexpr const char* kAppId = "quillora";

std::string home();
std::string configHome();    // $XDG_CONFIG_HOME/quillora, else ~/.config/quillora
std::string dataHome();      // $XDG_DATA_HOME/quillora, else ~/.local/share/quillora
std::string cacheHome();     // $XDG_CACHE_HOME/quillora, else ~/.cache/quillora
std::string documents();     // <dataHome>/Documents
std::string temporary();     // $TMPDIR, else /tmp

} // namespace core::paths
