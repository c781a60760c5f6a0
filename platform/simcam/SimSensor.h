#pragma once
// The simulated camera's sensor: how its readings differ from the true scene (fixed-pattern
// noise that grows between flat-field corrections, a few stuck pixels, one dead column) and
// the camera's own correction that hides table entries behind their neighbours.

#include <cstdint>
#include <vector>

struct SimBadPixel
{
    int nCol = 0;   // sensor column (x)
    int nRow = 0;   // sensor row (y)
    bool operator==(const SimBadPixel& o) const { return nCol == o.nCol && nRow == o.nRow; }
};

class SimSensor
{
public:
    SimSensor(int nWidth, int nHeight, uint32_t nSeed);

    int width() const { return m_nWidth; }
    int height() const { return m_nHeight; }
    const std::vector<SimBadPixel>& stuckPixels() const { return m_stuck; }
    int deadColumn() const { return m_nDeadColumn; }

    // Turns true temperatures into what the sensor reports: fixed pattern at fFpnAmplitude
    // (degrees, one sigma), stuck pixels at their own readings, the dead column at a flat
    // reading plus noise. The readings of the defects sit between fLow and fHigh so that
    // they show without becoming the frame's extremes.
    void expose(float* pTemper, float fFpnAmplitude, float fLow, float fHigh, uint64_t nFrame) const;

    // The camera's correction: every listed column, then every listed pixel, is replaced by
    // the mean of its nearest neighbours that are not listed themselves. Entries outside the
    // image are ignored.
    static void hideDefects(float* pTemper, int nWidth, int nHeight, const std::vector<SimBadPixel>& pixels,
                            const std::vector<int>& columns);

private:
    int m_nWidth;
    int m_nHeight;
    uint32_t m_nSeed;
    std::vector<float> m_fpn;   // unit fixed pattern, row-major
    std::vector<SimBadPixel> m_stuck;
    int m_nDeadColumn;
};
