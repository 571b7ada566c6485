// Under ThreadSanitizer: FluidSynth loads a soundfont's samples on OpenMP threads, and the
// OpenMP runtime is not instrumented, so its own hand-over of memory between those threads
// looks like a race. Only calls made from inside that runtime are ignored.
#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_suppressions() { return "called_from_lib:libgomp.so.1\n"; }
#endif
