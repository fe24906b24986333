// inflate_floor FILE.gz...: inflates each file's first member and discards
// the output; prints the bytes and the time taken.  The floor that gzip
// reading in lorvane is measured against.
#include "bench/inflate_floor.h"

int main(int argc, char **argv) { return FloorMain(argc, argv, "inflate_floor", InflateFloor); }
