#include "util/fontstruct.h"

#include "util/miscutil.h"

void FontInfoNoProps(FontInfo *fi) {
  fi->props = nullptr;
  fi->isStringProp = nullptr;
  fi->propCount = 0;
}

void FontInfoFreeProps(FontInfo *fi) {
  FontFree(fi->props);
  FontFree(fi->isStringProp);
  FontInfoNoProps(fi);
}
