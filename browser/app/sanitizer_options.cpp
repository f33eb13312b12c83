// The sanitizer defaults of a sanitized telvora-browser. Qt WebEngine is
// Chromium, Debian's build of it, not instrumented and not ours:
// - it frees some objects with the size of a smaller type than it allocated
//   (seen in ~WebContentsAdapter when a page goes), which the new/delete type
//   check stops at;
// - it leaves objects it made for the life of the process unfreed at exit,
//   as Chromium does on purpose.
// So in this program only, that one check is off and leaks whose stack runs
// through the engine's library are left out (a leak of the browser's own
// code is reported unless the engine called that code). Every other check
// stays; ASAN_OPTIONS and LSAN_OPTIONS still apply on top.
#ifdef __SANITIZE_ADDRESS__
extern "C" const char* __asan_default_options();
extern "C" const char* __asan_default_options() {
    return "new_delete_type_mismatch=0";
}
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libQt6WebEngineCore.so\n";
}
#endif
