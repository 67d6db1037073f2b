// Opens the desktop host in a real X server. Xvfb is started by the test on a free display
// number; without Xvfb the test is skipped with a message.

#include "platform/core/NotificationCenter.h"
#include "platform/dispatch/Queue.h"
#include "platform/ui/Application.h"
#include "platform/ui/GtkHost.h"
#include "platform/ui/Pasteboard.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TextField.h"
#include "platform/ui/testing/XvfbServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <gtk/gtk.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace ui {
namespace {

using testing::XvfbServer;

// Handles the host's events until `done` holds or `seconds` of real time have passed: a count of
// rounds would be too short on a busy machine and needlessly long on an idle one.
template <class Done>
bool iterateUntil(GtkHost& host, Done done, double seconds = 20) {
    const auto bound = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > bound) return false;
        host.iterate();
    }
    return true;
}

TEST(ui_GtkHost, OpensAWindowAndDrawsTheTree) {
    XvfbServer xvfb;
    if (!xvfb.running()) GTEST_SKIP() << "Xvfb is not installed (apt-get install xvfb); the desktop host was not tried";
    auto window = core::make<Window>();
    window->setBackgroundColor(gfx::Color::rgb(19, 181, 177));
    auto host = GtkHost::create(window, "Quillora");
    ASSERT_TRUE(host.ok()) << host.error().description;
    (*host)->show();
    // Wait for the first picture by handling events; a broken host fails after many rounds.
    iterateUntil(**host, [&] { return (*host)->drawCount() > 0; });
    EXPECT_GT((*host)->drawCount(), 0);
    int before = (*host)->drawCount();
    window->setBackgroundColor(gfx::Color::whiteColor());  // a change asks for a new picture
    iterateUntil(**host, [&] { return (*host)->drawCount() > before; });
    EXPECT_GT((*host)->drawCount(), before);
}

// Sends a key through GTK's own event dispatch to the host's window, as the X server would.
void sendKey(guint keyval, guint state, bool press) {
    GList* toplevels = gtk_window_list_toplevels();
    ASSERT_NE(toplevels, nullptr);
    GtkWidget* toplevel = GTK_WIDGET(toplevels->data);
    g_list_free(toplevels);
    GdkDisplay* display = gtk_widget_get_display(toplevel);
    GdkEvent* event = gdk_event_new(press ? GDK_KEY_PRESS : GDK_KEY_RELEASE);
    event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(toplevel)));
    event->key.send_event = TRUE;
    event->key.time = GDK_CURRENT_TIME;
    event->key.keyval = keyval;
    event->key.state = state;
    GdkKeymapKey* keys = nullptr;
    gint count = 0;
    if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(display), keyval, &keys, &count) && count > 0) {
        event->key.hardware_keycode = static_cast<guint16>(keys[0].keycode);
        event->key.group = static_cast<guint8>(keys[0].group);
    }
    g_free(keys);
    gdk_event_set_device(event, gdk_seat_get_keyboard(gdk_display_get_default_seat(display)));
    gtk_main_do_event(event);
    gdk_event_free(event);
}

void tapKey(guint keyval, guint state = 0) {
    sendKey(keyval, state, true);
    sendKey(keyval, state, false);
}

TEST(ui_GtkHost, TypesChineseThroughTheInputMethodAndPastesFromTheClipboard) {
    // The input method every GTK has: it composes characters from their code (Ctrl+Shift+U).
    setenv("GTK_IM_MODULE", "gtk-im-context-simple", 1);
    XvfbServer xvfb;
    if (!xvfb.running()) GTEST_SKIP() << "Xvfb is not installed (apt-get install xvfb); the desktop host was not tried";
    auto window = core::make<Window>();
    auto field = core::make<TextField>(gfx::Rect{20, 100, 300, 40});
    window->addSubview(field);
    auto host = GtkHost::create(window, "Quillora");
    ASSERT_TRUE(host.ok()) << host.error().description;
    (*host)->show();
    iterateUntil(**host, [&] { return (*host)->drawCount() > 0; });
    ASSERT_TRUE(field->becomeFirstResponder());

    tapKey(GDK_KEY_a);
    EXPECT_EQ(field->text(), "a");
    const guint ctrlShift = GDK_CONTROL_MASK | GDK_SHIFT_MASK;
    sendKey(GDK_KEY_U, ctrlShift, true);
    sendKey(GDK_KEY_U, ctrlShift, false);
    sendKey(GDK_KEY_Shift_L, ctrlShift, false);  // the code is typed with the modifiers let go
    sendKey(GDK_KEY_Control_L, GDK_CONTROL_MASK, false);
    for (guint k : {GDK_KEY_6, GDK_KEY_4, GDK_KEY_1, GDK_KEY_c}) tapKey(k);
    EXPECT_NE(field->markedText().find("641c"), std::string::npos) << field->markedText();
    EXPECT_EQ(field->text(), "a");
    tapKey(GDK_KEY_space);
    EXPECT_EQ(field->text(), "a搜");
    EXPECT_EQ(field->markedText(), "");

    Pasteboard::general().setString("聊天话术");  // on the desktop's clipboard
    tapKey(GDK_KEY_v, GDK_CONTROL_MASK);
    EXPECT_EQ(field->text(), "a搜聊天话术");
    tapKey(GDK_KEY_BackSpace);
    EXPECT_EQ(field->text(), "a搜聊天话");
    field->resignFirstResponder();
}

GtkWidget* hostToplevel() {
    GList* toplevels = gtk_window_list_toplevels();
    GtkWidget* toplevel = toplevels ? GTK_WIDGET(toplevels->data) : nullptr;
    g_list_free(toplevels);
    return toplevel;
}

TEST(ui_GtkHost, IconifyAndCloseBecomeLifecycleNotificationsAndBackgroundTasksKeepTheRunAlive) {
    XvfbServer xvfb;
    if (!xvfb.running()) GTEST_SKIP() << "Xvfb is not installed (apt-get install xvfb); the desktop host was not tried";
    auto window = core::make<Window>();
    auto host = GtkHost::create(window, "Quillora");
    ASSERT_TRUE(host.ok()) << host.error().description;
    (*host)->show();
    iterateUntil(**host, [&] { return (*host)->drawCount() > 0; });
    std::vector<std::string> heard;
    auto& center = core::NotificationCenter::defaultCenter();
    auto record = [&](const core::Notification& n) { heard.push_back(n.name); };
    auto a = center.addObserver(Application::kDidEnterBackgroundNotification, record);
    auto b = center.addObserver(Application::kWillTerminateNotification, record);

    GtkWidget* toplevel = hostToplevel();
    ASSERT_NE(toplevel, nullptr);
    GdkEvent* state = gdk_event_new(GDK_WINDOW_STATE);
    state->window_state.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(toplevel)));
    state->window_state.send_event = TRUE;
    state->window_state.changed_mask = GDK_WINDOW_STATE_ICONIFIED;
    state->window_state.new_window_state = GDK_WINDOW_STATE_ICONIFIED;
    gtk_main_do_event(state);
    state->window_state.changed_mask = GDK_WINDOW_STATE_FOCUSED;  // still iconified: not a new event
    gtk_main_do_event(state);
    gdk_event_free(state);
    EXPECT_EQ(heard, std::vector<std::string>{Application::kDidEnterBackgroundNotification});

    // Cleanup work begun in the background holds the run open until it ends.
    auto& app = Application::shared();
    bool expired = false;
    auto task = app.beginBackgroundTask([&] { expired = true; });
    dispatch::Queue::main()->async([&] { app.endBackgroundTask(task); });
    GdkEvent* close = gdk_event_new(GDK_DELETE);
    close->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(toplevel)));
    close->any.send_event = TRUE;
    gtk_main_do_event(close);
    gdk_event_free(close);
    EXPECT_EQ(heard.back(), Application::kWillTerminateNotification);
    (*host)->run();
    EXPECT_EQ(app.backgroundTaskCount(), 0u);
    EXPECT_FALSE(expired);
}

// Ctrl+wheel and a touchpad pinch zoom the zoomable scroll view under the pointer about the
// pointer; a plain wheel still scrolls.
TEST(ui_GtkHost, CtrlWheelAndTouchpadPinchZoomAboutThePointer) {
    XvfbServer xvfb;
    if (!xvfb.running()) GTEST_SKIP() << "Xvfb is not installed (apt-get install xvfb); the desktop host was not tried";
    struct Zoomable : ScrollViewDelegate {
        std::shared_ptr<View> content;
        std::shared_ptr<View> viewForZoomingInScrollView(ScrollView&) override { return content; }
    };
    auto window = core::make<Window>();
    auto scroll = core::make<ScrollView>(gfx::Rect{0, 100, 200, 200});
    auto delegate = std::make_shared<Zoomable>();
    delegate->content = core::make<View>(gfx::Rect{0, 0, 200, 200});
    scroll->addSubview(delegate->content);
    scroll->setContentSize({200, 200});
    scroll->setDelegate(delegate);
    scroll->setMaximumZoomScale(5);
    window->addSubview(scroll);
    auto host = GtkHost::create(window, "Quillora");
    ASSERT_TRUE(host.ok()) << host.error().description;
    (*host)->show();
    iterateUntil(**host, [&] { return (*host)->drawCount() > 0; });

    GList* toplevels = gtk_window_list_toplevels();
    ASSERT_NE(toplevels, nullptr);
    GtkWidget* toplevel = GTK_WIDGET(toplevels->data);
    g_list_free(toplevels);
    GtkWidget* area = gtk_bin_get_child(GTK_BIN(gtk_bin_get_child(GTK_BIN(toplevel))));
    ASSERT_TRUE(GTK_IS_DRAWING_AREA(area));
    auto wheel = [&](GdkScrollDirection direction, guint state) {
        GdkEvent* event = gdk_event_new(GDK_SCROLL);
        event->scroll.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(area)));
        event->scroll.send_event = TRUE;
        event->scroll.direction = direction;
        event->scroll.state = state;
        event->scroll.x = 150;  // window point (150, 200): content point (150, 100)
        event->scroll.y = 200;
        gdk_event_set_device(event, gdk_seat_get_pointer(gdk_display_get_default_seat(gtk_widget_get_display(area))));
        gtk_main_do_event(event);
        gdk_event_free(event);
    };
    wheel(GDK_SCROLL_UP, GDK_CONTROL_MASK);
    EXPECT_NEAR(scroll->zoomScale(), 1.1, 1e-9);
    EXPECT_NEAR(scroll->contentOffset().x, 150 * 0.1, 1e-9) << "the point under the pointer stays";
    EXPECT_NEAR(scroll->contentOffset().y, 100 * 0.1, 1e-9);
    wheel(GDK_SCROLL_DOWN, GDK_CONTROL_MASK);
    EXPECT_NEAR(scroll->zoomScale(), 1, 1e-9);
    wheel(GDK_SCROLL_DOWN, GDK_CONTROL_MASK);
    EXPECT_NEAR(scroll->zoomScale(), 1, 1e-9) << "stops at the minimum";

    // A touchpad pinch zooms by its scale from the gesture's start, about the pointer.
    auto pinch = [&](GdkTouchpadGesturePhase phase, double scale) {
        GdkEvent* event = gdk_event_new(GDK_TOUCHPAD_PINCH);
        event->touchpad_pinch.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(area)));
        event->touchpad_pinch.send_event = TRUE;
        event->touchpad_pinch.phase = phase;
        event->touchpad_pinch.n_fingers = 2;
        event->touchpad_pinch.scale = scale;
        event->touchpad_pinch.x = 150;
        event->touchpad_pinch.y = 200;
        gdk_event_set_device(event, gdk_seat_get_pointer(gdk_display_get_default_seat(gtk_widget_get_display(area))));
        gtk_main_do_event(event);
        gdk_event_free(event);
    };
    pinch(GDK_TOUCHPAD_GESTURE_PHASE_BEGIN, 1);
    pinch(GDK_TOUCHPAD_GESTURE_PHASE_UPDATE, 2);
    EXPECT_NEAR(scroll->zoomScale(), 2, 1e-9);
    EXPECT_NEAR(scroll->contentOffset().x, 150, 1e-9) << "the point under the pointer stays";
    EXPECT_NEAR(scroll->contentOffset().y, 100, 1e-9);
    pinch(GDK_TOUCHPAD_GESTURE_PHASE_UPDATE, 10);
    EXPECT_NEAR(scroll->zoomScale(), 5, 1e-9) << "stops at the maximum";
    pinch(GDK_TOUCHPAD_GESTURE_PHASE_END, 10);
    EXPECT_NEAR(scroll->zoomScale(), 5, 1e-9);

    scroll->setZoomScale(2);
    const gfx::Point before = scroll->contentOffset();
    wheel(GDK_SCROLL_DOWN, 0);
    EXPECT_DOUBLE_EQ(scroll->zoomScale(), 2);
    EXPECT_GT(scroll->contentOffset().y, before.y) << "a plain wheel scrolls";
}

} // namespace
} // namespace ui
