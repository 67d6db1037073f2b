#include "platform/ui/GtkHost.h"

#include "platform/ca/AnimationTicker.h"
#include "platform/ca/Layer.h"
#include "platform/ca/MediaTime.h"
#include "platform/ca/Renderer.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/core/Utf16.h"
#include "platform/gfx/CairoContext.h"
#include "platform/ui/Application.h"
#include "platform/ui/GtkAlbumSource.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/NativeViewHost.h"
#include "platform/ui/Pasteboard.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ScrollView.h"

#include <gtk/gtk.h>

#include <gdk/gdkkeysyms.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace ui {
namespace {

// Lets GLib own the waiting: a wake from any thread schedules one pump of the main run loop on
// the GLib main context.
class GLibDriver final : public dispatch::RunLoopDriver {
public:
    void wake() override {
        if (scheduled_.exchange(true)) return;
        // An idle source always runs on the thread that iterates the context. (Invoking the
        // function instead would run it right here when the caller, say a timer thread, can
        // acquire the context, i.e. whenever the main thread is not iterating it just now.)
        g_idle_add_full(G_PRIORITY_DEFAULT, &GLibDriver::pumpOnce, this, nullptr);
    }
    void waitUntil(std::chrono::steady_clock::time_point deadline) override {
        // Only reached when code runs the run loop itself while GTK is the host: one blocking
        // iteration, bounded by a timeout source so the caller gets control back at the deadline.
        auto now = std::chrono::steady_clock::now();
        if (deadline <= now) return;
        auto ms = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
        guint timeout = g_timeout_add(static_cast<guint>(ms), [](gpointer) -> gboolean { return G_SOURCE_REMOVE; }, nullptr);
        g_main_context_iteration(nullptr, TRUE);
        if (GSource* source = g_main_context_find_source_by_id(nullptr, timeout)) g_source_destroy(source);
    }

private:
    static gboolean pumpOnce(gpointer self) {
        static_cast<GLibDriver*>(self)->scheduled_ = false;
        dispatch::RunLoop::main().pump();
        return G_SOURCE_REMOVE;
    }
    std::atomic<bool> scheduled_{false};
};

} // namespace

struct GtkHost::Impl final : NativeViewHost {
    std::shared_ptr<Window> window;
    std::shared_ptr<GLibDriver> driver;
    GtkWidget* toplevel = nullptr;
    GtkWidget* area = nullptr;
    GtkIMContext* im = nullptr;
    GMainLoop* loop = nullptr;
    GMemoryMonitor* memoryMonitor = nullptr;
    int draws = 0;
    bool pointerDown = false;
    bool swiping = false;  // a touchpad swipe is being followed (Window::scrollSwipe)
    double pinchBase = 1;  // the zoom scale when a touchpad pinch began
    // Native widgets sit in `natives`, a layer between the drawing area and `top`, a transparent
    // drawing area that shows the views painted after the first visible native view.
    GtkWidget* overlay = nullptr;
    GtkWidget* natives = nullptr;
    GtkWidget* top = nullptr;
    struct NativeView {
        const View* key;
        std::weak_ptr<View> view;
        GtkWidget* widget;
    };
    std::vector<NativeView> nativeViews;
    std::weak_ptr<View> split;

    static gboolean onDraw(GtkWidget*, cairo_t* cr, gpointer data) {
        auto* self = static_cast<Impl*>(data);
        gfx::CairoContext context(cr);
        self->placeNativeViews();
        if (auto split = self->split.lock()) {
            self->window->layoutIfNeeded();
            ca::AnimationTicker::shared().tick();
            ca::Renderer::render(*self->window->layer(), context, ca::currentMediaTime(), *split->layer(),
                                 ca::Renderer::Pass::below);
        } else {
            self->window->render(context);
        }
        ++self->draws;
        if (self->top) gtk_widget_queue_draw(self->top);
        return TRUE;
    }
    static gboolean onDrawTop(GtkWidget*, cairo_t* cr, gpointer data) {
        auto* self = static_cast<Impl*>(data);
        auto split = self->split.lock();
        if (!split) return TRUE;
        gfx::CairoContext context(cr);
        ca::Renderer::render(*self->window->layer(), context, ca::currentMediaTime(), *split->layer(),
                             ca::Renderer::Pass::above);
        return TRUE;
    }

    // NativeViewHost.
    std::string_view toolkit() const override { return "gtk3"; }
    void attachNativeView(const std::shared_ptr<View>& view, void* widget) override {
        detachNativeView(*view);
        auto* w = GTK_WIDGET(widget);
        g_object_ref(w);
        nativeViews.push_back({view.get(), view, w});
        if (natives) gtk_fixed_put(GTK_FIXED(natives), w, 0, 0);
        gtk_widget_set_no_show_all(w, TRUE);
        gtk_widget_hide(w);
        queueDraw();
    }
    void detachNativeView(const View& view) override {
        auto it = std::find_if(nativeViews.begin(), nativeViews.end(), [&](const NativeView& n) { return n.key == &view; });
        if (it == nativeViews.end()) return;
        GtkWidget* w = it->widget;
        nativeViews.erase(it);
        if (natives && gtk_widget_get_parent(w) == natives) gtk_container_remove(GTK_CONTAINER(natives), w);
        g_object_unref(w);
        queueDraw();
    }
    // A native view shows when it is in this window and neither it nor an ancestor is hidden or
    // transparent, as hit testing sees it.
    bool showsOnScreen(const View& view) const {
        if (view.window() != window) return false;
        // The superviews are owned up the tree, so the raw pointers stay valid while walking.
        for (const View* v = &view; v; v = v->superview().get())
            if (v->isHidden() || v->alpha() < 0.01) return false;
        return true;
    }
    // Moves each native widget to its view's window frame before the picture is drawn, hides
    // those whose view does not show, and chooses where the picture splits.
    void placeNativeViews() {
        std::shared_ptr<View> first;
        window->layoutIfNeeded();
        for (auto it = nativeViews.begin(); it != nativeViews.end();) {
            auto view = it->view.lock();
            if (!view) {
                // The view went without detaching: let the widget go too.
                if (natives && gtk_widget_get_parent(it->widget) == natives)
                    gtk_container_remove(GTK_CONTAINER(natives), it->widget);
                g_object_unref(it->widget);
                it = nativeViews.erase(it);
                continue;
            }
            if (!showsOnScreen(*view)) {
                gtk_widget_hide(it->widget);
                ++it;
                continue;
            }
            gfx::Rect r = view->convertRect(view->bounds(), nullptr);
            int x = static_cast<int>(std::lround(r.x())), y = static_cast<int>(std::lround(r.y()));
            int w = std::max(1, static_cast<int>(std::lround(r.width())));
            int h = std::max(1, static_cast<int>(std::lround(r.height())));
            int oldW = 0, oldH = 0;
            gtk_widget_get_size_request(it->widget, &oldW, &oldH);
            if (oldW != w || oldH != h) gtk_widget_set_size_request(it->widget, w, h);
            gtk_fixed_move(GTK_FIXED(natives), it->widget, x, y);
            gtk_widget_show(it->widget);
            if (!first) first = view;
            ++it;
        }
        split = first;
        shapeTopInput(first);
    }
    // The top surface takes the pointer only where it draws views: the frames of the views
    // painted after the split view (the later siblings of it and of each of its ancestors).
    void shapeTopInput(const std::shared_ptr<View>& splitView) {
        if (!top || !gtk_widget_get_realized(top)) return;
        cairo_region_t* region = cairo_region_create();
        for (std::shared_ptr<View> child = splitView, parent = splitView ? splitView->superview() : nullptr; parent;
             child = parent, parent = parent->superview()) {
            const auto& siblings = parent->subviews();
            auto pos = std::find(siblings.begin(), siblings.end(), child);
            for (auto later = pos == siblings.end() ? pos : pos + 1; later != siblings.end(); ++later) {
                if ((*later)->isHidden() || (*later)->alpha() < 0.01) continue;
                gfx::Rect r = (*later)->convertRect((*later)->bounds(), nullptr);
                cairo_rectangle_int_t rect{static_cast<int>(std::floor(r.x())), static_cast<int>(std::floor(r.y())),
                                           static_cast<int>(std::ceil(r.width())), static_cast<int>(std::ceil(r.height()))};
                cairo_region_union_rectangle(region, &rect);
            }
        }
        gdk_window_input_shape_combine_region(gtk_widget_get_window(top), region, 0, 0);
        cairo_region_destroy(region);
    }
    static gboolean onPress(GtkWidget*, GdkEventButton* e, gpointer data) {
        auto* self = static_cast<Impl*>(data);
        if (e->button != 1 || e->type != GDK_BUTTON_PRESS) return FALSE;
        self->pointerDown = true;
        self->window->sendTouch(TouchPhase::began, {e->x, e->y});
        return TRUE;
    }
    static gboolean onMotion(GtkWidget*, GdkEventMotion* e, gpointer data) {
        auto* self = static_cast<Impl*>(data);
        if (self->pointerDown) self->window->sendTouch(TouchPhase::moved, {e->x, e->y});
        return TRUE;
    }
    static gboolean onRelease(GtkWidget*, GdkEventButton* e, gpointer data) {
        auto* self = static_cast<Impl*>(data);
        if (e->button != 1 || !self->pointerDown) return FALSE;
        self->pointerDown = false;
        self->window->sendTouch(TouchPhase::ended, {e->x, e->y});
        return TRUE;
    }
    static gboolean onGrabBroken(GtkWidget*, GdkEvent*, gpointer data) {
        auto* self = static_cast<Impl*>(data);
        self->pointerDown = false;
        self->window->cancelAllTouches();
        return FALSE;
    }
    // The wheel scrolls the innermost scroll view under the pointer that can go that way; one
    // notch is 40 points, smooth deltas are scaled alike.
    static gboolean onScroll(GtkWidget*, GdkEventScroll* e, gpointer data) {
        auto* self = static_cast<Impl*>(data);
        constexpr double kNotch = 40;
        // Ctrl+wheel zooms the zoomable scroll view under the pointer about the pointer (a mouse
        // cannot pinch): one notch up is x1.1, down the inverse.
        if (e->state & GDK_CONTROL_MASK) {
            double steps = 0, dx = 0, dy = 0;
            if (e->direction == GDK_SCROLL_UP) steps = 1;
            else if (e->direction == GDK_SCROLL_DOWN) steps = -1;
            else if (e->direction == GDK_SCROLL_SMOOTH && gdk_event_get_scroll_deltas(reinterpret_cast<GdkEvent*>(e), &dx, &dy)) steps = -dy;
            if (steps != 0) zoomAt(*self, {e->x, e->y}, std::pow(1.1, steps), false);
            return TRUE;
        }
        // A two-finger sideways swipe on a touchpad (smooth deltas, ended by a stop event) that no
        // scroll view takes is a swipe for the edge pans under the pointer (a swipe back). With
        // natural scrolling, fingers moving right give a negative delta: the swipe follows the
        // fingers.
        if (e->direction == GDK_SCROLL_SMOOTH) {
            double dx = 0, dy = 0;
            gdk_event_get_scroll_deltas(reinterpret_cast<GdkEvent*>(e), &dx, &dy);
            if (gdk_event_is_scroll_stop_event(reinterpret_cast<GdkEvent*>(e))) {
                if (self->swiping) self->window->endScrollSwipe();
                self->swiping = false;
                return TRUE;
            }
            const gfx::Point at{e->x, e->y};
            if (self->swiping) {
                self->swiping = self->window->scrollSwipe(at, -dx * kNotch);
                return TRUE;
            }
            if (std::fabs(dx) > std::fabs(dy) && !ScrollView::wheelTargetAt(*self->window, at, {dx * kNotch, 0}) &&
                self->window->scrollSwipe(at, -dx * kNotch)) {
                self->swiping = true;
                return TRUE;
            }
        }
        gfx::Point delta;
        switch (e->direction) {
        case GDK_SCROLL_UP: delta = {0, -kNotch}; break;
        case GDK_SCROLL_DOWN: delta = {0, kNotch}; break;
        case GDK_SCROLL_LEFT: delta = {-kNotch, 0}; break;
        case GDK_SCROLL_RIGHT: delta = {kNotch, 0}; break;
        case GDK_SCROLL_SMOOTH: {
            double dx = 0, dy = 0;
            gdk_event_get_scroll_deltas(reinterpret_cast<GdkEvent*>(e), &dx, &dy);
            delta = {dx * kNotch, dy * kNotch};
            break;
        }
        }
        if (auto target = ScrollView::wheelTargetAt(*self->window, {e->x, e->y}, delta)) target->scrollByWheel(delta);
        return TRUE;
    }
    static void zoomAt(Impl& self, gfx::Point at, double factor, bool fromStart) {
        if (auto target = ScrollView::zoomTargetAt(*self.window, at)) {
            if (!fromStart) self.pinchBase = target->zoomScale();
            target->zoomAbout(self.pinchBase * factor, target->convertPointFromWindow(at));
        }
    }
    // A touchpad pinch zooms like two fingers: its scale counts from the gesture's start.
    static gboolean onPinch(GtkWidget*, GdkEvent* event, gpointer data) {
        if (event->type != GDK_TOUCHPAD_PINCH) return FALSE;
        auto* self = static_cast<Impl*>(data);
        auto* e = reinterpret_cast<GdkEventTouchpadPinch*>(event);
        if (e->phase == GDK_TOUCHPAD_GESTURE_PHASE_BEGIN) {
            auto target = ScrollView::zoomTargetAt(*self->window, {e->x, e->y});
            self->pinchBase = target ? target->zoomScale() : 1;
        }
        if (e->phase == GDK_TOUCHPAD_GESTURE_PHASE_BEGIN || e->phase == GDK_TOUCHPAD_GESTURE_PHASE_UPDATE)
            zoomAt(*self, {e->x, e->y}, e->scale, true);
        return TRUE;
    }
    // Keys go to the input method first (it composes Chinese and other scripts and commits the
    // text); what it leaves are editing keys. Ctrl+V pastes.
    static gboolean onKey(GtkWidget*, GdkEventKey* e, gpointer data) {
        auto* self = static_cast<Impl*>(data);
        auto& keyboard = Keyboard::shared();
        if (!keyboard.focusedInput()) return FALSE;
        bool press = e->type == GDK_KEY_PRESS;
        guint mods = e->state & gtk_accelerator_get_default_mod_mask();
        if (press && mods == GDK_CONTROL_MASK && (e->keyval == GDK_KEY_v || e->keyval == GDK_KEY_V)) {
            keyboard.paste();
            return TRUE;
        }
        if (self->im && gtk_im_context_filter_keypress(self->im, e)) return TRUE;
        if (!press) return FALSE;
        switch (e->keyval) {
        case GDK_KEY_BackSpace: keyboard.deleteBackward(); return TRUE;
        case GDK_KEY_Delete: case GDK_KEY_KP_Delete: keyboard.handleKey(EditingKey::deleteForward); return TRUE;
        case GDK_KEY_Left: case GDK_KEY_KP_Left: keyboard.handleKey(EditingKey::left); return TRUE;
        case GDK_KEY_Right: case GDK_KEY_KP_Right: keyboard.handleKey(EditingKey::right); return TRUE;
        case GDK_KEY_Home: case GDK_KEY_KP_Home: keyboard.handleKey(EditingKey::home); return TRUE;
        case GDK_KEY_End: case GDK_KEY_KP_End: keyboard.handleKey(EditingKey::end); return TRUE;
        case GDK_KEY_Return: case GDK_KEY_KP_Enter: keyboard.handleKey(EditingKey::returnKey); return TRUE;
        case GDK_KEY_Escape: keyboard.handleKey(EditingKey::escape); return TRUE;
        default: return FALSE;
        }
    }
    static void onCommit(GtkIMContext*, const gchar* text, gpointer) { Keyboard::shared().insertText(text ? text : ""); }
    static void onPreeditChanged(GtkIMContext* im, gpointer) {
        gchar* text = nullptr;
        gint cursor = 0;
        gtk_im_context_get_preedit_string(im, &text, nullptr, &cursor);
        std::string preedit = text ? text : "";
        g_free(text);
        // GTK counts the cursor in characters; the text input counts UTF-16 units.
        std::size_t pos = 0, units = 0;
        for (gint i = 0; i < cursor && pos < preedit.size(); ++i) units += core::utf16::decode(preedit, pos) > 0xFFFF ? 2 : 1;
        Keyboard::shared().setMarkedText(preedit, units);
    }
    // Tells the input method where typing happens, so its candidate list opens beside the caret.
    void focusChanged(View* focused) {
        if (!im) return;
        if (!focused) {
            gtk_im_context_reset(im);
            gtk_im_context_focus_out(im);
            return;
        }
        gtk_im_context_focus_in(im);
        if (auto* input = Keyboard::shared().focusedInput()) {
            gfx::Rect r = input->caretRectInWindow();
            GdkRectangle spot{static_cast<int>(r.x()), static_cast<int>(r.y()), static_cast<int>(r.width()),
                              static_cast<int>(r.height())};
            gtk_im_context_set_cursor_location(im, &spot);
        }
    }
    static void onRealize(GtkWidget* widget, gpointer data) {
        auto* self = static_cast<Impl*>(data);
        if (self->im) gtk_im_context_set_client_window(self->im, gtk_widget_get_window(widget));
    }
    // Lifecycle: iconifying the window sends the app to the background, closing it ends the app,
    // and the system's low-memory warnings become memory warnings.
    static gboolean onWindowState(GtkWidget*, GdkEventWindowState* e, gpointer) {
        if ((e->changed_mask & GDK_WINDOW_STATE_ICONIFIED) && (e->new_window_state & GDK_WINDOW_STATE_ICONIFIED))
            Application::shared().didEnterBackground();
        return FALSE;
    }
    static gboolean onDelete(GtkWidget*, GdkEvent*, gpointer) {
        Application::shared().willTerminate();
        return FALSE;
    }
    static void onLowMemory(GMemoryMonitor*, GMemoryMonitorWarningLevel, gpointer) {
        Application::shared().didReceiveMemoryWarning();
    }
    static void onDestroy(GtkWidget*, gpointer data) {
        auto* self = static_cast<Impl*>(data);
        self->toplevel = nullptr;
        self->area = nullptr;
        self->overlay = nullptr;
        self->natives = nullptr;
        self->top = nullptr;
        if (self->loop) g_main_loop_quit(self->loop);
    }
    void queueDraw() {
        if (area) gtk_widget_queue_draw(area);
    }
};

void GtkHost::skipGL() {
    if (!std::getenv("GDK_GL")) ::setenv("GDK_GL", "disable", 1);
}

core::Expected<std::unique_ptr<GtkHost>> GtkHost::create(std::shared_ptr<Window> window, const std::string& title) {
    if (!gtk_init_check(nullptr, nullptr))
        return core::Error{"ui.GtkHost", 1, "No display could be opened.", {}};
    auto impl = std::make_unique<Impl>();
    impl->window = std::move(window);
    impl->driver = std::make_shared<GLibDriver>();
    impl->loop = g_main_loop_new(nullptr, FALSE);
    dispatch::RunLoop::setMainThread();
    dispatch::RunLoop::main().setDriver(impl->driver);

    gfx::Size size = Screen::main().bounds().size;
    impl->toplevel = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(impl->toplevel), title.c_str());
    gtk_window_set_resizable(GTK_WINDOW(impl->toplevel), FALSE);
    impl->area = gtk_drawing_area_new();
    gtk_widget_set_size_request(impl->area, static_cast<int>(size.width), static_cast<int>(size.height));
    gtk_widget_add_events(impl->area, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK |
                                          GDK_SCROLL_MASK | GDK_SMOOTH_SCROLL_MASK | GDK_KEY_PRESS_MASK |
                                          GDK_KEY_RELEASE_MASK | GDK_TOUCHPAD_GESTURE_MASK);
    gtk_widget_set_can_focus(impl->area, TRUE);
    impl->im = gtk_im_multicontext_new();
    // The drawing area, then native widgets, then the transparent top surface, stacked in an
    // overlay; the two upper layers let the pointer through wherever they show nothing.
    impl->overlay = gtk_overlay_new();
    gtk_container_add(GTK_CONTAINER(impl->overlay), impl->area);
    impl->natives = gtk_fixed_new();
    gtk_overlay_add_overlay(GTK_OVERLAY(impl->overlay), impl->natives);
    gtk_overlay_set_overlay_pass_through(GTK_OVERLAY(impl->overlay), impl->natives, TRUE);
    impl->top = gtk_drawing_area_new();
    gtk_widget_add_events(impl->top, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK |
                                         GDK_SCROLL_MASK | GDK_SMOOTH_SCROLL_MASK | GDK_TOUCHPAD_GESTURE_MASK);
    gtk_overlay_add_overlay(GTK_OVERLAY(impl->overlay), impl->top);
    gtk_overlay_set_overlay_pass_through(GTK_OVERLAY(impl->overlay), impl->top, TRUE);
    gtk_container_add(GTK_CONTAINER(impl->toplevel), impl->overlay);
    Impl* raw = impl.get();
    g_signal_connect(impl->top, "draw", G_CALLBACK(&Impl::onDrawTop), raw);
    g_signal_connect(impl->top, "button-press-event", G_CALLBACK(&Impl::onPress), raw);
    g_signal_connect(impl->top, "motion-notify-event", G_CALLBACK(&Impl::onMotion), raw);
    g_signal_connect(impl->top, "button-release-event", G_CALLBACK(&Impl::onRelease), raw);
    g_signal_connect(impl->top, "grab-broken-event", G_CALLBACK(&Impl::onGrabBroken), raw);
    g_signal_connect(impl->top, "scroll-event", G_CALLBACK(&Impl::onScroll), raw);
    g_signal_connect(impl->top, "event", G_CALLBACK(&Impl::onPinch), raw);
    g_signal_connect_after(impl->top, "realize", G_CALLBACK(+[](GtkWidget*, gpointer data) {
        static_cast<Impl*>(data)->shapeTopInput(static_cast<Impl*>(data)->split.lock());
    }), raw);
    g_signal_connect(impl->area, "draw", G_CALLBACK(&Impl::onDraw), raw);
    g_signal_connect(impl->area, "button-press-event", G_CALLBACK(&Impl::onPress), raw);
    g_signal_connect(impl->area, "motion-notify-event", G_CALLBACK(&Impl::onMotion), raw);
    g_signal_connect(impl->area, "button-release-event", G_CALLBACK(&Impl::onRelease), raw);
    g_signal_connect(impl->area, "grab-broken-event", G_CALLBACK(&Impl::onGrabBroken), raw);
    g_signal_connect(impl->area, "scroll-event", G_CALLBACK(&Impl::onScroll), raw);
    g_signal_connect(impl->area, "event", G_CALLBACK(&Impl::onPinch), raw);
    g_signal_connect(impl->area, "key-press-event", G_CALLBACK(&Impl::onKey), raw);
    g_signal_connect(impl->area, "key-release-event", G_CALLBACK(&Impl::onKey), raw);
    g_signal_connect(impl->area, "realize", G_CALLBACK(&Impl::onRealize), raw);
    g_signal_connect(impl->im, "commit", G_CALLBACK(&Impl::onCommit), raw);
    g_signal_connect(impl->im, "preedit-changed", G_CALLBACK(&Impl::onPreeditChanged), raw);
    g_signal_connect(impl->toplevel, "destroy", G_CALLBACK(&Impl::onDestroy), raw);
    g_signal_connect(impl->toplevel, "window-state-event", G_CALLBACK(&Impl::onWindowState), raw);
    g_signal_connect(impl->toplevel, "delete-event", G_CALLBACK(&Impl::onDelete), raw);
    impl->memoryMonitor = g_memory_monitor_dup_default();
    if (impl->memoryMonitor) g_signal_connect(impl->memoryMonitor, "low-memory-warning", G_CALLBACK(&Impl::onLowMemory), raw);

    // Any change of a layer, and every animation tick, asks for a new picture.
    ca::Layer::setChangeObserver([raw] { raw->queueDraw(); });
    ca::AnimationTicker::shared().setFrameObserver([raw] { raw->queueDraw(); });
    Keyboard::shared().setHostFocusObserver([raw](View* focused) { raw->focusChanged(focused); });
    // The desktop's keys take no room; a simulated on-screen keyboard can be asked for.
    if (const char* onscreen = g_getenv("QUILLORA_ONSCREEN_KEYBOARD"); onscreen && g_strcmp0(onscreen, "1") == 0)
        Keyboard::shared().setSimulatesOnScreenKeyboard(true);
    NativeViewHost::setCurrent(raw);
    // The photo album is the desktop's file chooser while the host lives.
    ImagePickerController::setSource(ImagePickerControllerSourceType::photoLibrary, makeGtkAlbumSource(impl->toplevel));
    // The desktop's clipboard is the pasteboard while the host lives.
    Pasteboard::general().setStore(Pasteboard::Store{
        [] () -> std::optional<std::string> {
            gchar* text = gtk_clipboard_wait_for_text(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD));
            if (!text) return std::nullopt;
            std::string out = text;
            g_free(text);
            return out;
        },
        [](const std::string& text) {
            gtk_clipboard_set_text(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD), text.c_str(), static_cast<gint>(text.size()));
        }});
    return std::unique_ptr<GtkHost>(new GtkHost(std::move(impl)));
}

GtkHost::GtkHost(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

GtkHost::~GtkHost() {
    if (NativeViewHost::current() == impl_.get()) NativeViewHost::setCurrent(nullptr);
    ImagePickerController::setSource(ImagePickerControllerSourceType::photoLibrary, nullptr);
    for (auto& native : impl_->nativeViews) g_object_unref(native.widget);
    impl_->nativeViews.clear();
    Keyboard::shared().setHostFocusObserver(nullptr);
    Pasteboard::general().setStore(std::nullopt);
    ca::Layer::setChangeObserver(nullptr);
    ca::AnimationTicker::shared().setFrameObserver(nullptr);
    if (impl_->memoryMonitor) {
        g_signal_handlers_disconnect_by_data(impl_->memoryMonitor, impl_.get());
        g_object_unref(impl_->memoryMonitor);
    }
    dispatch::RunLoop::main().setDriver(nullptr);
    if (impl_->toplevel) gtk_widget_destroy(impl_->toplevel);
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    if (impl_->loop) g_main_loop_unref(impl_->loop);
    if (impl_->im) g_object_unref(impl_->im);
}

void GtkHost::show() {
    if (impl_->toplevel) gtk_widget_show_all(impl_->toplevel);
    if (impl_->area) gtk_widget_grab_focus(impl_->area);
    dispatch::RunLoop::main().wake();
}

void GtkHost::run() {
    show();
    if (impl_->toplevel) g_main_loop_run(impl_->loop);
    // Background tasks keep the process alive for a while after the window closed.
    auto& app = Application::shared();
    if (app.backgroundTaskCount() > 0) {
        bool timedOut = false;
        guint timer = g_timeout_add_seconds(kBackgroundTaskSeconds, +[](gpointer flag) -> gboolean {
            *static_cast<bool*>(flag) = true;
            return G_SOURCE_REMOVE;
        }, &timedOut);
        while (app.backgroundTaskCount() > 0 && !timedOut) g_main_context_iteration(nullptr, TRUE);
        if (!timedOut) g_source_remove(timer);
        app.expireBackgroundTasks();
    }
}

void GtkHost::quit() { g_main_loop_quit(impl_->loop); }

bool GtkHost::iterate() { return g_main_context_iteration(nullptr, FALSE); }

int GtkHost::drawCount() const { return impl_->draws; }

core::Status GtkHost::writeSnapshot(const std::string& path) {
    if (!impl_->toplevel || !gtk_widget_get_mapped(impl_->toplevel))
        return core::Error{"ui.GtkHost", 2, "The window is not shown.", {}};
    // The picture is read only after a new frame (ours and the native widgets') has been painted.
    // GTK paints on its frame clock, which may hold a queued frame back for a while after the
    // main context has run out of ready work, so draining the context is not enough: a picture
    // taken then can still show the frame before the last change. The bound only guards against
    // a window that stopped drawing.
    const int before = impl_->draws;
    gtk_widget_queue_draw(impl_->toplevel);
    bool expired = false;
    guint bound = g_timeout_add_seconds(
        5,
        [](gpointer flag) -> gboolean {
            *static_cast<bool*>(flag) = true;
            return G_SOURCE_REMOVE;
        },
        &expired);
    while (impl_->draws == before && !expired && impl_->toplevel) g_main_context_iteration(nullptr, TRUE);
    if (!expired) g_source_remove(bound);
    GdkWindow* gdkWindow = impl_->toplevel ? gtk_widget_get_window(impl_->toplevel) : nullptr;
    if (!gdkWindow) return core::Error{"ui.GtkHost", 2, "The window is not shown.", {}};
    if (impl_->draws == before) return core::Error{"ui.GtkHost", 5, "The window drew no new frame.", {}};
    // The frame was handed to the X server; wait until the server has carried it out.
    gdk_display_sync(gdk_window_get_display(gdkWindow));
    const int width = gdk_window_get_width(gdkWindow);
    const int height = gdk_window_get_height(gdkWindow);
    GdkPixbuf* pixels = gdk_pixbuf_get_from_window(gdkWindow, 0, 0, width, height);
    if (!pixels) return core::Error{"ui.GtkHost", 3, "The window's picture could not be read.", {}};
    GError* error = nullptr;
    const bool saved = gdk_pixbuf_save(pixels, path.c_str(), "png", &error, nullptr);
    g_object_unref(pixels);
    if (!saved) {
        std::string text = error ? error->message : "unknown error";
        if (error) g_error_free(error);
        return core::Error{"ui.GtkHost", 4, path + ": " + text, {}};
    }
    return core::success();
}

} // namespace ui
