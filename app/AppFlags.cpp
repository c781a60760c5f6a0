#include "app/AppFlags.h"

std::atomic<bool> g_bRecording{false};
std::atomic<bool> g_bStandby{false};
std::atomic<bool> g_bFreeze{false};
std::atomic<int> g_nDirection{0};
