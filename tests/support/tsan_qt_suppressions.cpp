// Qt's libraries are not built with ThreadSanitizer: their own mutexes are
// invisible to it, so the condition variables inside Qt (QWaitCondition,
// the Qt Test watchdog thread) look like data races. The system calls Qt
// makes from inside its libraries are left out of the analysis; everything
// compiled here stays fully checked.
#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Test.so.6\n";
}
#endif
