#include "experiment/version.h"

// The build passes the project's version; a tree built otherwise says so.
#ifndef LEMVARIS_VERSION
#define LEMVARIS_VERSION "unknown"
#endif

const char* LemvarisVersion() { return LEMVARIS_VERSION; }
