#pragma once
// The one version number of the client and its tools, set in the top CMakeLists.txt.

// For example "1.1.0".
const char* thermavaVersion();
