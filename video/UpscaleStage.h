#pragma once
// The hook through which the video engine runs the neural enlargement (super-resolution)
// stage. Keeping it behind a small table lets the engine build and run without the
// inference runtime, and lets tests put a slow or fake stage in its place.

struct UpscaleStage
{
    // Prepares the model at the path; false leaves the stage unavailable.
    bool (*setUp)(const char* pszModelPath);
    // One frame: w x h UYVY in pSrc, 2w x 2h UYVY (neutral chroma) written to pDst.
    // fBlend < 0 gives the network's output alone; otherwise the output is blended with a
    // plain bicubic enlargement, fBlend being the network's weight. False: nothing written.
    bool (*run)(const unsigned char* pSrc, unsigned char* pDst, int nWidth, int nHeight, float fBlend);
};

// The stage the engines use; null when none is bound (the engine then enlarges plainly).
const UpscaleStage* upscaleStage();
// Binds a stage (null unbinds). Call before engines are constructed.
void setUpscaleStage(const UpscaleStage* pStage);
