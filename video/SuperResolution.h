#pragma once
// Neural super-resolution of the thermal picture: a 256 x 192 UYVY frame becomes a
// 512 x 384 UYVY frame whose luminance comes from a small network (ONNX, run by OpenCV's
// dnn module) and whose chroma is neutral (U = V = 128), so the palette stage colours it
// like any other frame.
//
// The network is process-wide: both video engines share it, and each setUpModel call
// replaces it. Every function here is safe to call from any thread; the network and its
// input picture are guarded by a mutex of their own.

#include <QString>
#include <cstdint>

namespace cv {
class Mat;
}

// One frame handed from the video engine to the super-resolution stage.
struct SuperResFrame
{
    const unsigned char* pSrc = nullptr;  // source frame, UYVY, nWidth x nHeight
    unsigned char* pDst = nullptr;        // engine work buffer, receives nOutWidth x nOutHeight UYVY
    int32_t nFactor = 2;                  // enlargement factor
    int32_t nHeight = 0;
    int32_t nWidth = 0;
    int32_t nOutHeight = 0;
    int32_t nOutWidth = 0;
    int32_t nFormat = 1;                  // 1 = packed 4:2:2 UYVY; 0 = planar 4:2:0 NV12 (not handled)
};

// Geometry the network was built for; other frame sizes never reach it.
constexpr int kSuperResInWidth = 256;
constexpr int kSuperResInHeight = 192;
constexpr int kSuperResOutWidth = 512;
constexpr int kSuperResOutHeight = 384;

// Where the model is looked for: "./model.onnx" in the working directory, then model.onnx
// beside the program, then the installed data folder ../share/thermava/ next to the program's
// folder. Returns an empty string when none exists.
QString findModelPath();

// Loads the network from path (an empty path, as findModelPath gives when there is no
// model, is reported as such), replacing any earlier one. Returns whether a usable network
// is now loaded; a missing, unreadable or wrongly shaped model leaves super-resolution
// unavailable (logged once per distinct failure, never thrown).
bool setUpModel(const QString& path);

// True while a network is loaded.
bool isSuperResolutionAvailable();

// Drops the loaded network (super-resolution becomes unavailable).
void releaseModel();

// Plain variant: the network's output, clamped to 0..255, becomes the luminance.
// Returns true when the destination holds a new 512 x 384 frame. It returns false, and
// leaves the destination untouched, when no network is loaded, the format is not UYVY, or
// the frame is not 256 x 192 -> 512 x 384 (the caller then shows the frame unenlarged).
bool superResolve(const SuperResFrame& frame);

// Blended variant for hot scenes: luminance = f * network + (1 - f) * bicubic enlargement.
// Same return value and conditions as superResolve.
bool superResolveBlend(const SuperResFrame& frame, float f);

// The blend table of the engine's JudgeRatioRangeSlot for a scene maximum in degrees C:
// T <= 90 turns the blend off and leaves f as it was; up to 120 gives 0.9, up to 140 gives
// 0.7, above 140 gives 0.5. Returns bOn.
bool judgeRatioRange(float fMaxTemper, bool& bOn, float& f);

// Pieces of the stage, exposed for the benchmark and the tests.
namespace SuperResDetail {

// The network input for a 256 x 192 UYVY frame: 1 x 3 x 192 x 256 floats, channel c holding
// (luminance - mean[c]) * 0.0174 with the means of R, G, B in that order.
cv::Mat inputBlob(const unsigned char* pUyvy);

// Writes a 384 x 512 float model output into pDst as 512 x 384 UYVY with U = V = 128.
// Without bicubic (empty) the luminance is the clamped, truncated model value; with a
// 384 x 512 8-bit bicubic enlargement it is the blend f * model + (1 - f) * bicubic.
void writeBack(const cv::Mat& model, const cv::Mat& bicubic, float f, unsigned char* pDst);

// Luminance byte for a value: clamped to 0..255 (NaN gives 0), then truncated toward zero.
unsigned char lumaFromModel(float v);

} // namespace SuperResDetail
