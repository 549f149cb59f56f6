// ThreadSanitizer defaults for the soak: Debian's OpenSSL is not
// instrumented, so the atomic reference counts by which threads share a TLS
// session are invisible to the sanitizer, and one thread's free after
// another's read looks like a race. Only races with a frame inside OpenSSL
// are suppressed. The hook's name is the sanitizer's; it must be visible for
// the runtime to find it.
extern "C" __attribute__((visibility("default"))) const char* __tsan_default_suppressions() {
  return "race:libcrypto.so\nrace:libssl.so\n";
}
