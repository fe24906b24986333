// The library's one growth policy, and the growable array built on it.
//
// A block grows by doubling: from a first room until it holds what is
// needed, never past a most that the caller may set (a declared count, a
// budget).  All memory goes through the allocation wrappers, so a shortage,
// or a request past the allocation ceiling, is a false result like any
// other, and the old block then stays as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "util/miscutil.h"

// Room for `need` items of `itemSize` bytes in *block, whose room is *room
// items: doubled from max(*room, first) until it holds them, cut to `most`.
// False when `need` is more than `most` or memory is short.
bool GrowRoomBeyond(void **block, size_t *room, size_t need, size_t itemSize, size_t first,
                    size_t most);
inline bool GrowRoom(void **block, size_t *room, size_t need, size_t itemSize, size_t first = 16,
                     size_t most = SIZE_MAX) {
  return need <= *room || GrowRoomBeyond(block, room, need, itemSize, first, most);
}

// Items appended at the end.  Items are moved by reallocation, so they must
// be trivially copyable.

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
    void *block = items_.get();
    if (!GrowRoom(&block, &capacity_, wanted, sizeof(T), exact ? wanted : 16, exact ? wanted : SIZE_MAX))
      return false;
    items_.release();
    items_.reset(static_cast<T *>(block));
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
