#pragma once
// The simulated camera bound into the camera library's call table. Works without a Qt
// event loop, so headless tools can use it as well.

#include "platform/camlib/CameraLibrary.h"

const CameraLibraryApi& simCameraLibraryApi();
