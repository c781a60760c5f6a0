#pragma once
// Application-wide flags, written on the user-interface thread and read by the guards of
// every page and by the video engine's thread. Atomic so that the engine's reads are
// well-defined; no other coordination is implied.

#include <atomic>

extern std::atomic<bool> g_bRecording;   // a manual recording runs
extern std::atomic<bool> g_bStandby;     // the camera is in standby
extern std::atomic<bool> g_bFreeze;      // the picture is frozen
extern std::atomic<int> g_nDirection;    // image direction 0..3
