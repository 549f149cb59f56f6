// AddressSanitizer defaults for the fuzz binaries. Each input is parsed
// afresh, and one input's allocations stay within a few MiB, so a freed
// block poisoned until 32 MiB more have been freed still catches any use
// after free within an input. The default of 256 MiB makes the fuzzer
// touch fresh pages for most of a run, a seventh of its time. Freed memory
// is kept rather than handed back to the system, which would be touched
// fresh again. ASAN_OPTIONS still overrides both.
extern "C" const char* __asan_default_options() {
  return "quarantine_size_mb=32:allocator_release_to_os_interval_ms=-1";
}
