#pragma once
// Shows a window on the desktop with GTK 3: one top-level window at the device profile's size in
// points, one drawing area that the window's layer tree is rendered into, the pointer turned
// into touches, and the main run loop driven by the GLib main context. GTK stays behind this
// class. Main thread only.

#include "platform/core/Error.h"
#include "platform/ui/Window.h"

#include <memory>

namespace ui {

class GtkHost {
public:
    // Fails when no display can be opened.
    static core::Expected<std::unique_ptr<GtkHost>> create(std::shared_ptr<Window> window, const std::string& title);
    // The host draws with Cairo only and never asks GDK for GL, yet GDK loads and starts a GL
    // driver when it opens a display (with a software driver, about 50 MB resident and a good
    // share of the start). This tells GDK not to (GDK_GL=disable in the environment, unless the
    // user set GDK_GL). Programs call it first thing in main, while no other thread reads the
    // environment. Web pages still show: the web engine composites without GDK's GL.
    static void skipGL();
    ~GtkHost();

    // Shows the window (non-blocking).
    void show();
    // Runs until the window is closed or quit() is called, then (for at most
    // kBackgroundTaskSeconds) until the application's background tasks have ended; tasks still
    // running then are expired.
    void run();
    static constexpr unsigned kBackgroundTaskSeconds = 10;
    void quit();
    // Runs pending GLib events once without blocking; true if any were handled (for tests).
    bool iterate();
    // How many times the window has been drawn.
    int drawCount() const;
    // Writes what the window shows on the display, native widgets included, as a PNG. It first
    // waits (a few seconds at most) for the window to paint a new frame, so the picture includes
    // every change made before the call; a window that paints nothing is an error.
    core::Status writeSnapshot(const std::string& path);

    struct Impl;

private:
    explicit GtkHost(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

} // namespace ui
