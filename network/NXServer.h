#pragma once
// NXServer: which server the app talks to. The server status and the short name are process-wide
// (status -1 and "loc" at every start); the base URL of the web service is kept in the settings
// under "SERVER_URL" so the last address the server switch gave survives a restart.
// Main thread only.

#include "network/NXModel.h"

#include <optional>
#include <string>

namespace network {

class NXServer : public NXModel {
    QUILLORA_CLASS(NXServer)

    static constexpr const char* kServerUrlKey = "SERVER_URL";

    static std::shared_ptr<NXServer> shared();

    void setServerStatus(std::int64_t status);
    std::int64_t getServerStatus() const;
    void setupAsName(std::string name);
    std::string getAsName() const;
    void setDefaultUrl(const std::string& url);

    // "" while the status is not 1; with status 1 the stored base URL, or nothing when there is
    // none (two different "no URL" answers).
    std::optional<std::string> getUrl() const;
    // The server-switch endpoint on the compiled-in switch host.
    std::string getChangeUrl() const;

    // The compiled-in address of the server-switch service (tests point it at a loopback server).
    static std::string switchBaseUrl();
    static void setSwitchBaseUrlForTesting(std::optional<std::string> url);
    // Puts the process-wide values back to their start values (for tests).
    static void resetForTesting();
};

} // namespace network
