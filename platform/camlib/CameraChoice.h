#pragma once
// Which camera the program talks to. One text chooses it:
//   "auto" (or empty)   the first real camera found at connect time, else the simulated one
//   "sim"               the simulated camera
//   "/dev/videoN[,...]" that video node (options as the V4L2 backend takes them)
//   "replay:FILE"       a recorded stream dump
// Binding reads nothing itself: the client passes THERMAVA_CAMERA when set, else the
// "Camera" setting; thermava-cli passes --camera, else the same.

#include <string>

struct CameraChoice
{
    enum class Kind { Auto, Sim, Node, Replay };
    Kind eKind = Kind::Auto;
    std::string value;   // the node text or the dump's path
};

// False with a reason for a text that is none of the forms above. The node's options and the
// dump's contents are checked only when binding.
bool parseCameraChoice(const std::string& text, CameraChoice* pChoice, std::string* pError);

// Binds the camera library table and its events for a choice. False with a reason (and the
// previous binding kept) for a bad text, unusable options or an unreadable dump.
bool bindCameraChoice(const std::string& choice, std::string* pError);

// Language key of what the title bar's status area says about the bound camera: simulated,
// replayed or stream-only; empty for a real camera with its commands, and while "auto" has
// not chosen yet.
const char* cameraStatusTextKey();
constexpr const char* kStreamOnlyStatusKey = "stream only: camera commands unavailable";

// True when the bound camera delivers its stream but answers no commands.
bool cameraStreamOnly();

// The image inside a stream of the given size, for a camera that cannot be asked for its
// format: an image of 256 x 192 or 512 x 384 followed by trailer rows, either plain or as the
// right half of double-width rows. False when the stream fits neither.
bool streamOnlyGeometry(int nStreamWidth, int nStreamHeight, int* pImageWidth, int* pImageHeight, int* pDoubleWidth);
