// The calling thread's single-threaded COM apartment for the duration of a
// scope: reply documents on Windows live in it. Elsewhere there is no COM,
// and the scope is always entered.
#pragma once

namespace zcv::platform {

#ifdef _WIN32

class ComApartment {
 public:
  // Enters with CoInitialize; also entered when the thread already was.
  ComApartment();
  // Leaves once, only when entering succeeded.
  ~ComApartment();
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

  // False when the thread cannot enter, for instance because it is in the
  // multithreaded apartment.
  bool entered() const { return entered_; }

 private:
  bool entered_ = false;
};

#else

class ComApartment {
 public:
  bool entered() const { return true; }
};

#endif

}  // namespace zcv::platform
