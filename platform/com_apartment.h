#pragma once
// Brackets the calling thread's membership of the component object library's
// single-threaded apartment (Windows); nothing on POSIX.
namespace torvane::platform {

class ComApartment {
 public:
  ComApartment();
  ~ComApartment();
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  [[maybe_unused]] bool entered_ = false;  // uninitialise only what this object initialised
};

}  // namespace torvane::platform
