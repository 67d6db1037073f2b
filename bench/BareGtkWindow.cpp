// The baseline of the app's start-up benchmark: a bare GTK window with one drawing area of the
// phone screen's size (375 x 667 points) that paints itself white. It reports the moment of its
// first frame and its resident memory then, with the stages it passed (see ProcessReport.h),
// and exits. GTK starts as it does by default (GL included) unless asked --without-gl.

#include "bench/ProcessReport.h"

#include <gtk/gtk.h>

#include <cstdlib>
#include <string_view>

int main(int argc, char** argv) {
    bench::timeline().mark("main");
    // --without-gl: GDK opens the display without starting GL, as the app's host asks it to.
    if (argc == 2 && std::string_view(argv[1]) == "--without-gl") setenv("GDK_GL", "disable", 1);
    if (!gtk_init_check(nullptr, nullptr)) return 1;
    bench::timeline().mark("host");
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWidget* area = gtk_drawing_area_new();
    gtk_widget_set_size_request(area, 375, 667);
    gtk_container_add(GTK_CONTAINER(window), area);
    static bool drawn = false;
    g_signal_connect(area, "draw", G_CALLBACK(+[](GtkWidget*, cairo_t* cr, gpointer) -> gboolean {
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_paint(cr);
        drawn = true;
        return FALSE;
    }), nullptr);
    gtk_widget_show_all(window);
    bench::timeline().mark("shown");
    while (!drawn) g_main_context_iteration(nullptr, TRUE);
    bench::reportFirstFrame();
    return 0;
}
