// ThreadSanitizer defaults for tests that run cpp-httplib's server: the
// Debian library is not instrumented, so its atomics are invisible to the
// sanitizer and its hand-offs between worker threads look like races.
// Only races with a frame inside that library are suppressed. The hook's
// name is the sanitizer's; it must be visible for the runtime to find it.
extern "C" __attribute__((visibility("default"))) const char* __tsan_default_suppressions() {
  return "race:libcpp-httplib.so\n";
}
