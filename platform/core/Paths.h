#pragma once
// Where the app keeps its files, following the XDG base directories with the app id "quillora".
// HOME and the XDG_* variables are read on every call, so tests redirect everything by pointing
// HOME at a temporary folder.

#include <string>
#include <vector>

namespace core::paths {

inline constexpr const char* kAppId = "quillora";

std::string home();
std::string configHome();    // $XDG_CONFIG_HOME/quillora, else ~/.config/quillora
std::string dataHome();      // $XDG_DATA_HOME/quillora, else ~/.local/share/quillora
std::string cacheHome();     // $XDG_CACHE_HOME/quillora, else ~/.cache/quillora
std::string documents();     // <dataHome>/Documents
std::string temporary();     // $TMPDIR, else /tmp

// The standard folders of a kind for the domains asked for. Only the user's domain has any here:
// documents (documents()), caches (cacheHome()), application support (dataHome()), downloads
// ($XDG_DOWNLOAD_DIR, else ~/Downloads). Other domains give none.
enum class SearchPathDirectory { documentDirectory, cachesDirectory, applicationSupportDirectory, downloadsDirectory };
enum SearchPathDomainMask : unsigned { userDomainMask = 1, localDomainMask = 2, networkDomainMask = 4, systemDomainMask = 8, allDomainsMask = 0xffff };
std::vector<std::string> urlsForDirectory(SearchPathDirectory directory, unsigned domains);

} // namespace core::paths
