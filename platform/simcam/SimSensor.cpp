#include "platform/simcam/SimSensor.h"

#include "platform/simcam/SimScene.h"

#include <algorithm>
#include <cmath>

SimSensor::SimSensor(int nWidth, int nHeight, uint32_t nSeed)
    : m_nWidth(std::max(1, nWidth)), m_nHeight(std::max(1, nHeight)), m_nSeed(nSeed)
{
    const int w = m_nWidth, h = m_nHeight;
    // Fixed pattern: column offsets of the read-out amplifiers, per-pixel offsets and a
    // slight vignette; scaled so that the whole pattern has a sigma of about one.
    std::vector<float> columns(size_t(w), 0.0f);
    SimScene::addNoise(columns.data(), w, 0.6f, nSeed, 0xC011u);
    m_fpn.assign(size_t(w) * size_t(h), 0.0f);
    SimScene::addNoise(m_fpn.data(), w * h, 0.75f, nSeed, 0xF1A7u);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const float dx = (float(x) + 0.5f) / float(w) - 0.5f;
            const float dy = (float(y) + 0.5f) / float(h) - 0.5f;
            m_fpn[size_t(y) * size_t(w) + size_t(x)] += columns[size_t(x)] - 1.2f * (dx * dx + dy * dy);
        }
    }

    // Defects at fixed places of the sensor, spread over the picture.
    const float places[][2] = {{0.145f, 0.27f}, {0.59f, 0.625f}, {0.785f, 0.17f}, {0.35f, 0.885f}, {0.07f, 0.55f}};
    for (const auto& p : places)
        m_stuck.push_back({std::min(w - 1, int(p[0] * float(w))), std::min(h - 1, int(p[1] * float(h)))});
    m_nDeadColumn = std::min(w - 1, int(0.68f * float(w)));
}

void SimSensor::expose(float* pTemper, float fFpnAmplitude, float fLow, float fHigh, uint64_t nFrame) const
{
    const int w = m_nWidth, h = m_nHeight;
    if (fFpnAmplitude != 0.0f) {
        const size_t n = size_t(w) * size_t(h);
        for (size_t i = 0; i < n; ++i)
            pTemper[i] += fFpnAmplitude * m_fpn[i];
    }
    // Stuck pixels alternate between a bright and a dark reading.
    for (size_t i = 0; i < m_stuck.size(); ++i) {
        const SimBadPixel& p = m_stuck[i];
        pTemper[size_t(p.nRow) * size_t(w) + size_t(p.nCol)] = (i % 2 == 0) ? fHigh : fLow;
    }
    // The dead column reads flat and bright, with the read-out's own noise.
    std::vector<float> column(size_t(h), fHigh);
    SimScene::addNoise(column.data(), h, 0.08f, m_nSeed, 0xDEAD0000ull + nFrame);
    for (int y = 0; y < h; ++y)
        pTemper[size_t(y) * size_t(w) + size_t(m_nDeadColumn)] = column[size_t(y)];
}

void SimSensor::hideDefects(float* pTemper, int nWidth, int nHeight, const std::vector<SimBadPixel>& pixels,
                            const std::vector<int>& columns)
{
    if (!pTemper || nWidth <= 0 || nHeight <= 0 || (pixels.empty() && columns.empty()))
        return;
    const int w = nWidth, h = nHeight;
    std::vector<uint8_t> badColumn(size_t(w), 0);
    for (int c : columns)
        if (c >= 0 && c < w)
            badColumn[size_t(c)] = 1;
    for (int c = 0; c < w; ++c) {
        if (!badColumn[size_t(c)])
            continue;
        int left = c - 1, right = c + 1;
        while (left >= 0 && badColumn[size_t(left)])
            --left;
        while (right < w && badColumn[size_t(right)])
            ++right;
        if (left < 0 && right >= w)
            break;   // every column listed: nothing to borrow from
        for (int y = 0; y < h; ++y) {
            float* row = pTemper + size_t(y) * size_t(w);
            if (left >= 0 && right < w)
                row[c] = 0.5f * (row[left] + row[right]);
            else
                row[c] = row[left >= 0 ? left : right];
        }
    }

    std::vector<uint8_t> bad(size_t(w) * size_t(h), 0);
    for (const SimBadPixel& p : pixels)
        if (p.nCol >= 0 && p.nCol < w && p.nRow >= 0 && p.nRow < h)
            bad[size_t(p.nRow) * size_t(w) + size_t(p.nCol)] = 1;
    for (const SimBadPixel& p : pixels) {
        if (p.nCol < 0 || p.nCol >= w || p.nRow < 0 || p.nRow >= h)
            continue;
        float sum = 0.0f;
        int n = 0;
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                const int x = p.nCol + dx, y = p.nRow + dy;
                if ((dx == 0 && dy == 0) || x < 0 || x >= w || y < 0 || y >= h)
                    continue;
                if (bad[size_t(y) * size_t(w) + size_t(x)])
                    continue;
                sum += pTemper[size_t(y) * size_t(w) + size_t(x)];
                ++n;
            }
        }
        if (n > 0)
            pTemper[size_t(p.nRow) * size_t(w) + size_t(p.nCol)] = sum / float(n);
    }
}
