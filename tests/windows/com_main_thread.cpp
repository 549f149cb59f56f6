// Puts the test program's main thread into a COM apartment for its whole
// life, as a host's thread is while the library reads a reply there: the
// tests that use ReplyDocument or BindInfoReplyReader directly need it.
#include <objbase.h>

namespace {

struct MainThreadApartment {
  MainThreadApartment() { ::CoInitialize(nullptr); }
  ~MainThreadApartment() { ::CoUninitialize(); }
};

const MainThreadApartment apartment;

}  // namespace
