// Sanitized builds only: the leak checker's rules for system libraries whose process-lifetime
// allocations nothing of ours makes or could free, so that its report at exit shows our own leaks:
//  - GLib and GObject, brought by the log-in window's toolkit when liblinkwell.so is loaded
//    (with the strings some of the toolkit's library constructors hand them, left behind when
//    those libraries are unloaded with ours);
//  - libdbus, whose session-bus autolaunch (tried by SDL and the sound libraries when a display is
//    set but no session bus runs, as under xvfb-run) keeps a buffer.
// Every program linked with the platform library takes this definition (see CMakeLists.txt).
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PELLWOOD_LEAK_RULES 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) && !defined(PELLWOOD_LEAK_RULES)
#define PELLWOOD_LEAK_RULES 1
#endif
#ifdef PELLWOOD_LEAK_RULES
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libglib-2.0.so\nleak:libgobject-2.0.so\nleak:libdbus-1.so\n";
}
#endif
