#include "util/growarray.h"

// The room is known to be short of `need`.
bool GrowRoomBeyond(void **block, size_t *room, size_t need, size_t itemSize, size_t first,
                    size_t most) {
  if (need > most) return false;
  size_t grown = *room < first ? first : *room;
  while (grown < need && grown <= SIZE_MAX / 2) grown *= 2;
  if (grown < need) grown = need;
  if (grown > most) grown = most;
  void *p = FontReallocArray(*block, grown, itemSize);
  if (!p) return false;
  *block = p;
  *room = grown;
  return true;
}
