#include "util/fontstruct.h"

#include "util/miscutil.h"

void FontInfoFreeProps(FontInfo *fi) {
  FontFree(fi->props);
  FontFree(fi->isStringProp);
  fi->props = nullptr;
  fi->isStringProp = nullptr;
  fi->propCount = 0;
}
