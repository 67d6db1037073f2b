// LeakSanitizer suppressions for the test programs that draw text or open windows. fontconfig,
// Pango, GLib, GTK, WebKitGTK and D-Bus keep process-wide caches that they never free, giflib's
// decoder loses the copies it makes of frames' local palettes, and x265 (the HEIC encoder inside
// libheif) loses a few blocks of every encoder it starts; our own code keeps
// one font map for the life of the process on purpose. Only allocations made inside those
// libraries are suppressed, so a leak of ours is still reported.

extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n"
           "leak:libpango-1.0.so\n"
           "leak:libpangoft2-1.0.so\n"
           "leak:libpangocairo-1.0.so\n"
           "leak:libharfbuzz.so\n"
           "leak:libglib-2.0.so\n"
           "leak:libgobject-2.0.so\n"
           "leak:libgio-2.0.so\n"
           "leak:libgtk-3.so\n"
           "leak:libgdk-3.so\n"
           "leak:libdbus-1.so\n"
           "leak:libX11.so\n"
           "leak:libwebkit2gtk-4.1.so\n"
           "leak:libjavascriptcoregtk-4.1.so\n"
           "leak:libsoup-3.0.so\n"
           "leak:libgif.so\n"
           "leak:libx265.so\n";
}
