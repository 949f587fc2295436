// Joining Windows paths in fixed buffers without ever cutting or overrunning them.
#ifndef COMMON_PATH_JOIN_H
#define COMMON_PATH_JOIN_H

#include "platform.h"

// Writes folder, one backslash and name ("%s\%s", nothing normalised: a folder that ends in a
// backslash gives two in a row) into out, which holds capacity bytes. Returns 1 when the
// whole path and its terminator fit; 0 otherwise, and then out is left empty, so that a cut
// path can never be used.
int joinPath(char* out, int capacity, const char* folder, const char* name);

#endif
