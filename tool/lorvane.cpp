// lorvane: writes fonts.dir (and, with -e, encodings.dir) for font directories.
#include "tool/driver.h"

int main(int argc, char **argv) { return LorvaneMain(argc, argv); }
