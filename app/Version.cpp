#include "app/Version.h"

#ifndef THERMAVA_VERSION
#error "THERMAVA_VERSION is set by the build"
#endif

const char* thermavaVersion() { return THERMAVA_VERSION; }
