#include "platform/simcam/SimScene.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

uint64_t splitMix(uint64_t& nState)
{
    uint64_t z = (nState += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// Share of a pixel covered by a shape, from its signed distance in pixels (negative
// inside); a one-pixel ramp keeps edges from stair-stepping as objects move.
float coverage(float fSignedDistance)
{
    return std::clamp(0.5f - fSignedDistance, 0.0f, 1.0f);
}

float ellipseDistance(float fX, float fY, float fCx, float fCy, float fRx, float fRy)
{
    const float dx = (fX - fCx) / fRx;
    const float dy = (fY - fCy) / fRy;
    return (std::sqrt(dx * dx + dy * dy) - 1.0f) * std::min(fRx, fRy);
}

float boxDistance(float fX, float fY, float fCx, float fCy, float fHalfW, float fHalfH, float fRound)
{
    const float qx = std::fabs(fX - fCx) - (fHalfW - fRound);
    const float qy = std::fabs(fY - fCy) - (fHalfH - fRound);
    const float ox = std::max(qx, 0.0f);
    const float oy = std::max(qy, 0.0f);
    return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0f) - fRound;
}

} // namespace

SimScene::SimScene(const SimSceneSettings& settings) : m_settings(settings) {}

float SimScene::hotRadius() const
{
    return m_settings.fHotRadius > 0.0f ? m_settings.fHotRadius : 0.035f * float(m_settings.nWidth);
}

void SimScene::hotCentre(double t, float& fX, float& fY) const
{
    const double tm = t * m_settings.dMotionSpeed;
    const double w = m_settings.nWidth;
    const double h = m_settings.nHeight;
    fX = m_settings.fHotX >= 0.0f ? m_settings.fHotX : float(w * (0.62 + 0.16 * std::sin(0.23 * tm)));
    fY = m_settings.fHotY >= 0.0f ? m_settings.fHotY : float(h * (0.45 + 0.22 * std::sin(0.31 * tm + 1.1)));
}

void SimScene::renderIdeal(double t, float* pOut) const
{
    const SimSceneSettings& s = m_settings;
    const int w = s.nWidth;
    const int h = s.nHeight;
    if (!pOut || w <= 0 || h <= 0)
        return;
    const float fw = float(w);
    const float fh = float(h);
    const double tm = t * s.dMotionSpeed;

    // The person sways a little; breathing is too small to matter at this resolution.
    const float sway = float(0.006 * fw * std::sin(0.5 * tm));
    const float headX = 0.27f * fw + sway, headY = 0.30f * fh, headRx = 0.055f * fw, headRy = 0.095f * fh;
    const float torsoX = 0.27f * fw + sway * 0.6f, torsoY = 0.80f * fh, torsoRx = 0.14f * fw, torsoRy = 0.30f * fh;
    const float neckHalfW = 0.018f * fw, neckTop = headY + headRy * 0.7f, neckBottom = torsoY - torsoRy * 0.85f;
    const float clothes = s.fBodyTemper - 3.5f;

    const float cupX = 0.82f * fw, cupY = 0.80f * fh, cupHalfW = 0.035f * fw, cupHalfH = 0.065f * fh;

    float hotX = 0.0f, hotY = 0.0f;
    hotCentre(t, hotX, hotY);
    const float hotR = hotRadius();
    const float coreR = 0.55f * hotR;

    for (int y = 0; y < h; ++y) {
        const float py = float(y) + 0.5f;
        const float v = py / fh;
        float* row = pOut + size_t(y) * size_t(w);
        for (int x = 0; x < w; ++x) {
            const float px = float(x) + 0.5f;
            const float u = px / fw;
            // Room: warmer towards the ceiling, a slight draught from one side and a soft
            // low-frequency unevenness of the walls.
            float temper = s.fRoomTemper + s.fGradient * (0.5f - v) + 0.4f * (u - 0.5f)
                + 0.15f * float(std::sin(2.0 * kPi * 1.3 * u) * std::cos(2.0 * kPi * 0.9 * v));

            if (s.bPerson) {
                const float cTorso = coverage(ellipseDistance(px, py, torsoX, torsoY, torsoRx, torsoRy));
                if (cTorso > 0.0f)
                    temper += (clothes - temper) * cTorso;
                if (py > neckTop && py < neckBottom) {
                    const float cNeck = coverage(std::fabs(px - headX) - neckHalfW);
                    if (cNeck > 0.0f)
                        temper += (s.fBodyTemper - 0.4f - temper) * cNeck;
                }
                const float dHead = ellipseDistance(px, py, headX, headY, headRx, headRy);
                const float cHead = coverage(dHead);
                if (cHead > 0.0f) {
                    const float dx = (px - headX) / headRx, dy = (py - headY) / headRy;
                    const float skin = s.fBodyTemper - 0.6f * std::min(1.0f, dx * dx + dy * dy);
                    temper += (skin - temper) * cHead;
                }
            }

            if (s.bColdObject) {
                const float cCup = coverage(boxDistance(px, py, cupX, cupY, cupHalfW, cupHalfH, 1.5f));
                if (cCup > 0.0f)
                    temper += (s.fColdTemper - temper) * cCup;
            }

            // Hot object: a flat core at the set temperature, a cosine rim and a faint halo,
            // so its core is the hottest part of the frame.
            const float dx = px - hotX, dy = py - hotY;
            const float r = std::sqrt(dx * dx + dy * dy);
            if (r <= coreR) {
                temper = s.fHotTemper;
            } else {
                // The halo warms the surroundings (under the rim as well, so that the rim
                // fades into it without a dark ring).
                if (s.fHotTemper > temper)
                    temper += (s.fHotTemper - temper) * 0.06f * std::exp(-std::max(0.0f, r - hotR) / hotR);
                if (r < hotR) {
                    const float k = 0.5f + 0.5f * float(std::cos(kPi * (r - coreR) / (hotR - coreR)));
                    temper += (s.fHotTemper - temper) * k;
                }
            }
            row[x] = temper;
        }
    }
}

void SimScene::addNoise(float* pData, int nCount, float fSigma, uint64_t nSeed, uint64_t nKey)
{
    if (!pData || nCount <= 0 || fSigma <= 0.0f)
        return;
    uint64_t state = nSeed * 0xD1B54A32D192ED03ull ^ (nKey + 0x632BE59BD9B4E019ull);
    splitMix(state);
    for (int i = 0; i < nCount; i += 2) {
        // Box-Muller: one pair of uniforms gives two independent normal values.
        const uint64_t a = splitMix(state);
        const double u1 = (double(a >> 11) + 1.0) * (1.0 / 9007199254740993.0);
        const double u2 = double(splitMix(state) >> 11) * (1.0 / 9007199254740992.0);
        const double mag = std::sqrt(-2.0 * std::log(u1)) * fSigma;
        pData[i] += float(mag * std::cos(2.0 * kPi * u2));
        if (i + 1 < nCount)
            pData[i + 1] += float(mag * std::sin(2.0 * kPi * u2));
    }
}

void SimScene::render(double t, uint64_t nFrame, float* pOut) const
{
    renderIdeal(t, pOut);
    addNoise(pOut, m_settings.nWidth * m_settings.nHeight, m_settings.fNoiseSigma, m_settings.nSeed, nFrame);
}

std::vector<float> SimScene::render(double t, uint64_t nFrame) const
{
    std::vector<float> out(size_t(std::max(0, m_settings.nWidth)) * size_t(std::max(0, m_settings.nHeight)));
    if (!out.empty())
        render(t, nFrame, out.data());
    return out;
}
