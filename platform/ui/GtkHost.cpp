#include "platform/ui/GtkHost.h"

#include "platform/ca/AnimationTicker.h"
#include "platform/ca/Layer.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/gfx/CairoContext.h"
#include "platform/ui/Screen.h"

#include <gtk/gtk.h>

#include <atomic>

namespace ui {
namespace {

// Lets GLib own the waiting: a wake from any thread schedules one pump of the main run loop on
// the GLib main context.
class GLibDriver final : public dispatch::RunLoopDriver {
public:
    void wake() override {
        if (scheduled_.exchange(true)) return;
        g_main_context_invoke(nullptr, &GLibDriver::pumpOnce, this);
        g_main_context_wakeup(nullptr);
    }
    void waitUntil(std::chrono::steady_clock::time_point deadline) override {
        // Only reached when code runs the run loop itself while GTK is the host.
        auto now = std::chrono::steady_clock::now();
        if (deadline > now) g_main_context_iteration(nullptr, TRUE);
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

struct GtkHost::Impl {
    std::shared_ptr<Window> window;
    std::shared_ptr<GLibDriver> driver;
    GtkWidget* toplevel = nullptr;
    GtkWidget* area = nullptr;
    GMainLoop* loop = nullptr;
    int draws = 0;
    bool pointerDown = false;

    static gboolean onDraw(GtkWidget*, cairo_t* cr, gpointer data) {
        auto* self = static_cast<Impl*>(data);
        gfx::CairoContext context(cr);
        self->window->render(context);
        ++self->draws;
        return TRUE;
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
    static void onDestroy(GtkWidget*, gpointer data) {
        auto* self = static_cast<Impl*>(data);
        self->toplevel = nullptr;
        self->area = nullptr;
        if (self->loop) g_main_loop_quit(self->loop);
    }
    void queueDraw() {
        if (area) gtk_widget_queue_draw(area);
    }
};

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
                                          GDK_SCROLL_MASK);
    gtk_container_add(GTK_CONTAINER(impl->toplevel), impl->area);
    Impl* raw = impl.get();
    g_signal_connect(impl->area, "draw", G_CALLBACK(&Impl::onDraw), raw);
    g_signal_connect(impl->area, "button-press-event", G_CALLBACK(&Impl::onPress), raw);
    g_signal_connect(impl->area, "motion-notify-event", G_CALLBACK(&Impl::onMotion), raw);
    g_signal_connect(impl->area, "button-release-event", G_CALLBACK(&Impl::onRelease), raw);
    g_signal_connect(impl->area, "grab-broken-event", G_CALLBACK(&Impl::onGrabBroken), raw);
    g_signal_connect(impl->toplevel, "destroy", G_CALLBACK(&Impl::onDestroy), raw);

    // Any change of a layer, and every animation tick, asks for a new picture.
    ca::Layer::setChangeObserver([raw] { raw->queueDraw(); });
    ca::AnimationTicker::shared().setFrameObserver([raw] { raw->queueDraw(); });
    return std::unique_ptr<GtkHost>(new GtkHost(std::move(impl)));
}

GtkHost::GtkHost(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

GtkHost::~GtkHost() {
    ca::Layer::setChangeObserver(nullptr);
    ca::AnimationTicker::shared().setFrameObserver(nullptr);
    dispatch::RunLoop::main().setDriver(nullptr);
    if (impl_->toplevel) gtk_widget_destroy(impl_->toplevel);
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    if (impl_->loop) g_main_loop_unref(impl_->loop);
}

void GtkHost::show() {
    if (impl_->toplevel) gtk_widget_show_all(impl_->toplevel);
    dispatch::RunLoop::main().wake();
}

void GtkHost::run() {
    show();
    if (impl_->toplevel) g_main_loop_run(impl_->loop);
}

void GtkHost::quit() { g_main_loop_quit(impl_->loop); }

bool GtkHost::iterate() { return g_main_context_iteration(nullptr, FALSE); }

int GtkHost::drawCount() const { return impl_->draws; }

} // namespace ui
