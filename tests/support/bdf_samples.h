// The sample BDF fonts of samples/fonts/, as writer definitions: used by the
// tests, the fuzz seeds and to regenerate the committed files.
#pragma once

#include <string>
#include <vector>

#include "tests/support/bdf_writer.h"

struct BdfSample {
  std::string fileName;
  std::string indexedName;  // the FONT name as fonts.dir lists it
  BdfFont font;
};

std::vector<BdfSample> BdfSampleFiles();
