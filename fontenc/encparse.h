// Encoding description files: the header scan that learns the encoding's
// name and aliases.
#pragma once

// The names a file declares: element 0 the encoding's name, then its aliases
// in file order, then none.  None when the file cannot be opened, is not an
// encoding file, or memory is short.  The caller owns the array and its
// strings (all allocated with the library's allocation wrappers).
char **identifyEncodingFile(const char *fileName);
