// The library's one growable array: items appended at the end, the room
// doubled (from 16 items) when it runs out, all memory through the
// allocation wrappers, so a shortage, or a request past the allocation
// ceiling, is a false result like any other.  Items are moved by
// reallocation, so they must be trivially copyable.
#pragma once

#include <cstddef>
#include <cstring>
#include <type_traits>

#include "util/miscutil.h"

template <class T>
class GrowArray {
  static_assert(std::is_trivially_copyable_v<T>, "items are moved by reallocation");

 public:
  bool push(const T &value) {
    if (count_ == capacity_ && !reserve(count_ + 1)) return false;
    items_.get()[count_++] = value;
    return true;
  }
  bool append(const T *values, size_t count) {
    if (count > capacity_ - count_ && !reserve(count_ + count)) return false;
    if (count > 0) std::memcpy(items_.get() + count_, values, count * sizeof(T));
    count_ += count;
    return true;
  }
  // Room for `wanted` items in all: the room doubles until it holds them,
  // unless the exact room is asked for.
  bool reserve(size_t wanted, bool exact = false) {
    if (wanted <= capacity_) return true;
    size_t room = capacity_ ? capacity_ : 16;
    while (!exact && room < wanted && room <= ~size_t{0} / 2) room *= 2;
    if (exact || room < wanted) room = wanted;
    T *grown = static_cast<T *>(FontReallocArray(items_.get(), room, sizeof(T)));
    if (!grown) return false;
    items_.release();
    items_.reset(grown);
    capacity_ = room;
    return true;
  }
  T pop() { return items_.get()[--count_]; }
  void clear() { count_ = 0; }
  size_t count() const { return count_; }
  size_t capacity() const { return capacity_; }
  T *data() { return items_.get(); }
  const T *data() const { return items_.get(); }
  T &operator[](size_t i) { return items_.get()[i]; }
  const T &operator[](size_t i) const { return items_.get()[i]; }

 private:
  FontPtr<T> items_;
  size_t count_ = 0, capacity_ = 0;
};
