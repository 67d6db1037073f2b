// quillora-service: the sample web service and server switch the app talks to on loopback.
// Runs until it gets SIGINT or SIGTERM.

#include "platform/core/Files.h"
#include "platform/core/Paths.h"
#include "service/SampleService.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <pthread.h>
#include <string>
#include <thread>

namespace {

void printUsage(std::ostream& out) {
    out << "Usage: quillora-service [--host ADDRESS] [--port PORT] [--database FILE]\n"
           "  --host      address to listen on (default 127.0.0.1)\n"
           "  --port      port to listen on, 0 for any free port (default "
        << QUILLORA_SERVICE_DEFAULT_PORT
        << ")\n"
           "  --database  SQLite file with the content, created and seeded when new\n"
           "              (default $XDG_DATA_HOME/quillora-service/content.sqlite3)\n";
}

// Beside the app's own data folder, not inside it, so that removing one leaves the other.
std::string defaultDatabase() {
    std::filesystem::path appData(core::paths::dataHome());
    return (appData.parent_path() / "quillora-service" / "content.sqlite3").string();
}

bool parsePort(const std::string& text, int& port) {
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    port = std::stoi(text);
    return port <= 65535;
}

} // namespace

int main(int argc, char** argv) {
    service::ServiceOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            printUsage(std::cout);
            return 0;
        }
        if ((arg == "--host" || arg == "--port" || arg == "--database") && i + 1 < argc) {
            const std::string value = argv[++i];
            if (arg == "--host") {
                options.host = value;
            } else if (arg == "--database") {
                options.database = value;
            } else if (!parsePort(value, options.port)) {
                std::cerr << "quillora-service: not a port: " << value << "\n";
                return 2;
            }
            continue;
        }
        std::cerr << "quillora-service: unknown or incomplete option: " << arg << "\n";
        printUsage(std::cerr);
        return 2;
    }
    if (options.database.empty()) {
        options.database = defaultDatabase();
        auto folder = std::filesystem::path(options.database).parent_path().string();
        if (auto made = core::files::createDirectories(folder); !made) {
            std::cerr << "quillora-service: cannot create " << folder << ": " << made.error().description << "\n";
            return 1;
        }
    }

    // The signals are taken by one waiting thread rather than a handler, so that stopping the
    // server happens in ordinary code. They are blocked before any thread starts, so all inherit it.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    auto created = service::SampleService::create(options);
    if (!created) {
        std::cerr << "quillora-service: " << created.error().description << "\n";
        return 1;
    }
    auto& server = **created;
    std::cout << "quillora-service: listening on http://" << options.host << ":" << server.port() << " (database "
              << options.database << ")" << std::endl;

    std::thread signalWaiter([&server, &stopSignals] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        server.stop();
    });
    const bool ok = server.run();
    // When serving ended on its own, wake the waiter so that it can be joined.
    pthread_kill(signalWaiter.native_handle(), SIGTERM);
    signalWaiter.join();
    return ok ? 0 : 1;
}
