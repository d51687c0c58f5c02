// LeakSanitizer suppressions carried by the test binary itself, so that every run of an
// AddressSanitizer build applies them: the asan stage, ctest, a run by hand, and the listing of
// the tests that CMake's test discovery does right after the link (a leak report there fails the
// build). Keep them narrow, each with its reason.
//
// gcc's Objective-C runtime (libobjc, used by platform/objc_gnu and its tests) keeps what it
// allocates for each method added at run time (class_addMethod), and for its own classes when it
// starts, for the life of the process: a class is never unloaded and every method added is still
// dispatched to afterwards. LeakSanitizer reports those blocks as unreachable all the same. With
// the fast unwinder the stack of such a block ends in libobjc's objc_malloc (libobjc has no frame
// pointers), so that is the frame suppressed. Instances (class_createInstance) come from
// objc_calloc, and everything our binding allocates from operator new: both stay checked.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QV_LEAK_CHECKED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define QV_LEAK_CHECKED 1
#endif

#ifdef QV_LEAK_CHECKED
// Read by LeakSanitizer at start-up (a weak hook of the sanitizer runtime).
extern "C" const char* __lsan_default_suppressions() {
  return "leak:objc_malloc\n";
}
#endif
