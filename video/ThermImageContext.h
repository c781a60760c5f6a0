#pragma once
// The process-wide thermal image context: the scene's temperatures from the last trailer, the
// luminance extent of the last processed frame, the grey ramp, the automatic-range switch and
// the buffers of the range mapping and the colour bar. Created on first use by whichever
// thread needs it, released at process exit.
//
// Single values are atomics read without a lock; a reader may combine values of different
// frames, which only shifts one frame's colouring.

#include <QMutex>
#include <atomic>
#include <cstdint>
#include <vector>

class ThermImageContext
{
public:
    static ThermImageContext& instance();

    // Copy of the luminance of the frame last range-mapped.
    void setLumaPlane(const std::vector<uint8_t>& plane);
    std::vector<uint8_t> lumaPlane();

    uint8_t m_GreyRamp[256];                     // 0 .. 255 in order
    std::atomic<float> m_fSceneMin{0.0f};        // degrees Celsius, last trailer
    std::atomic<float> m_fSceneMax{0.0f};
    std::atomic<uint32_t> m_nLumaMin{0};         // luminance extent of the last frame
    std::atomic<uint32_t> m_nLumaMax{0};
    // True: palette lookup over the whole scene; false: the temperature-range mapping.
    std::atomic<bool> m_bAutoRange{true};

    // The colour bar bitmap of the temperature scale (built and read on the UI thread).
    std::vector<uint8_t> m_ColorBar;

private:
    ThermImageContext();
    ~ThermImageContext();
    ThermImageContext(const ThermImageContext&) = delete;
    ThermImageContext& operator=(const ThermImageContext&) = delete;

    QMutex m_LumaMutex;
    std::vector<uint8_t> m_LumaPlane;
};
