#include "fontfile/renderers.h"

#include <cstring>

#include "util/miscutil.h"

namespace {
// Process-wide and never released; the records themselves are static.
FontRenderer **registered = nullptr;
int registeredCount = 0;
}  // namespace

bool FontFileRegisterRenderer(FontRenderer *renderer) {
  for (int i = 0; i < registeredCount; i++)
    if (std::strcmp(registered[i]->suffix, renderer->suffix) == 0) return true;
  auto **grown = static_cast<FontRenderer **>(
      FontReallocArray(registered, static_cast<size_t>(registeredCount) + 1, sizeof(FontRenderer *)));
  if (!grown) return false;
  registered = grown;
  renderer->preference = registeredCount;
  registered[registeredCount++] = renderer;
  return true;
}

FontRenderer *FontFileMatchRenderer(const char *fileName) {
  size_t n = std::strlen(fileName);
  for (int i = 0; i < registeredCount; i++) {
    FontRenderer *r = registered[i];
    size_t len = static_cast<size_t>(r->suffixLength);
    if (n >= len && std::memcmp(fileName + n - len, r->suffix, len) == 0) return r;
  }
  return nullptr;
}
