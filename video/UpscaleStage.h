#pragma once
// The hook through which the video engine runs the neural enlargement (super-resolution)
// stage. Keeping it behind a small table lets tests and tools put a slow, fake or absent
// stage in its place; by default it is the network of video/SuperResolution.h.

struct UpscaleStage
{
    // Prepares the model; false leaves the stage unavailable.
    bool (*setUp)();
    // One frame: w x h UYVY in pSrc, 2w x 2h UYVY (neutral chroma) written to pDst.
    // fBlend < 0 gives the network's output alone; otherwise the output is blended with a
    // plain bicubic enlargement, fBlend being the network's weight. False: nothing written.
    bool (*run)(const unsigned char* pSrc, unsigned char* pDst, int nWidth, int nHeight, float fBlend);
};

// The stage the engines use: the one bound last, else the network.
const UpscaleStage& upscaleStage();
// Binds a stage (null restores the network). Call before engines are constructed.
void setUpscaleStage(const UpscaleStage* pStage);
