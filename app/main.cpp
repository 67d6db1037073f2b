// The Quillora program: launches the app in a phone-sized window on the desktop. With
// --snapshots it instead tours the main screens and writes a picture of each into a folder: from
// the window when a display opens (a virtual one will do), else rendered off screen, where web
// pages show nothing. Without a display and without --snapshots it says so and tours into
// ~/quillora-snapshots.
//
// Usage: quillora [--snapshots FOLDER]

#include "app/AppDelegate.h"
#include "app/SnapshotTour.h"
#include "platform/camera/CameraSource.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/ui/GtkHost.h"

#include <cstdlib>
#include <iostream>
#include <string>

namespace {

int usage() {
    std::cerr << "usage: quillora [--snapshots FOLDER]\n";
    return 2;
}

int runSnapshots(const std::shared_ptr<app::AppDelegate>& delegate, const std::string& folder,
                 app::SnapshotTour::Capture capture = {}) {
    auto written = app::SnapshotTour(delegate, folder, std::move(capture)).run();
    if (!written) {
        std::cerr << "quillora: " << written.error().description << "\n";
        return 1;
    }
    for (const auto& path : *written) std::cout << path << "\n";
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    ui::GtkHost::skipGL();
    std::string snapshots;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--snapshots" && i + 1 < argc) snapshots = argv[++i];
        else return usage();
    }
    dispatch::RunLoop::setMainThread();
    auto delegate = core::make<app::AppDelegate>();
    // Launch only queues work (the server switch, the first requests); it runs once a host turns
    // the main run loop, so the host can be chosen afterwards.
    delegate->didFinishLaunchingWithOptions();
    auto host = ui::GtkHost::create(delegate->window, "Quillora");
    if (host) {
        // The camera, where a video device opens, for a new profile picture.
        ui::ImagePickerController::setSource(ui::ImagePickerControllerSourceType::camera, std::make_shared<camera::CameraSource>());
        (*host)->show();
        if (snapshots.empty()) {
            (*host)->run();
            return 0;
        }
        ui::GtkHost* shown = host->get();
        return runSnapshots(delegate, snapshots, [shown](const std::string& path) { return shown->writeSnapshot(path); });
    }
    if (snapshots.empty()) {
        const char* home = std::getenv("HOME");
        snapshots = std::string(home ? home : ".") + "/quillora-snapshots";
        std::cerr << "quillora: " << host.error().description << " Writing pictures of the main screens to "
                  << snapshots << " instead.\n";
    }
    return runSnapshots(delegate, snapshots);
}
