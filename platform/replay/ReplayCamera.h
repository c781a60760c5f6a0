#pragma once
// A recorded stream (see ReplayDump.h) bound as the camera library: it streams the dump's
// frames in a loop at their recorded pace and answers commands through the simulated
// camera's command model, except that the part number and the stream format are the dump's.
// So connecting, temperatures, snapshots and recordings work on recorded real data.

#include "platform/camlib/CameraBackend.h"
#include "platform/camlib/CameraLibrary.h"

#include <string>

const CameraLibraryApi& replayCameraLibrary();
const CameraBackendEvents& replayCameraBackendEvents();
// Loads the dump the library plays from now on. False with the reason (path included) when
// the file cannot be read or is not a sound dump; nothing is played then.
bool replaySetFile(const std::string& path, std::string* pError);
