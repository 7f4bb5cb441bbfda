#pragma once
// An owning handle on an intrusively reference-counted object (AddRef and
// Release on the object; Release deletes it at zero).
#include <new>
#include <utility>

namespace torvane::filewatch {

template <class T>
class Ref {
 public:
  Ref() = default;
  // Takes over one count that the caller already holds.
  static Ref Adopt(T* p) {
    Ref r;
    r.p_ = p;
    return r;
  }
  // Adds a count of its own.
  static Ref Share(T* p) {
    if (p) p->AddRef();
    return Adopt(p);
  }
  Ref(const Ref& o) : p_(o.p_) {
    if (p_) p_->AddRef();
  }
  Ref(Ref&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  template <class U>
  Ref(Ref<U>&& o) noexcept : p_(o.Leak()) {}
  Ref& operator=(Ref o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~Ref() { reset(); }

  void reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // Hands the count to the caller.
  [[nodiscard]] T* Leak() { return std::exchange(p_, nullptr); }

 private:
  T* p_ = nullptr;
};

// Creates a T with its first count held by the returned handle; an empty
// handle when memory runs out.
template <class T, class... Args>
Ref<T> MakeRef(Args&&... args) {
  return Ref<T>::Adopt(new (std::nothrow) T(std::forward<Args>(args)...));
}

}  // namespace torvane::filewatch
