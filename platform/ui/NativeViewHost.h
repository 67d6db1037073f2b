#pragma once
// A host that can show toolkit widgets of its own kind over its drawing surface, each at the
// window frame of the view that stands for it. The host moves, sizes, shows and hides the widget
// as the view's frame, visibility and window change, and draws the views painted after such a
// view on a transparent surface above the widget, so they stay on top of it. The desktop host is
// one while it lives; without one (headless) there is nowhere to put a widget. Main thread only.

#include <memory>
#include <string_view>

namespace ui {

class View;

class NativeViewHost {
public:
    virtual ~NativeViewHost() = default;

    // The host that shows windows now, or null.
    static NativeViewHost* current() { return slot(); }
    static void setCurrent(NativeViewHost* host) { slot() = host; }

    // The kind of widget the host takes: "gtk3" for a GtkWidget*.
    virtual std::string_view toolkit() const = 0;
    // Places `widget` (a toolkit widget pointer; the host adds its own reference) for `view`,
    // which the host holds weakly. Attaching a view again replaces its widget.
    virtual void attachNativeView(const std::shared_ptr<View>& view, void* widget) = 0;
    // Takes the view's widget out of the host (nothing happens when it holds none).
    virtual void detachNativeView(const View& view) = 0;

private:
    static NativeViewHost*& slot() {
        static NativeViewHost* host = nullptr;
        return host;
    }
};

} // namespace ui
