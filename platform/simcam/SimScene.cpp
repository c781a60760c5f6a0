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

// Inverse of the standard normal distribution (Acklam's rational approximation, relative
// error below 1.2e-9), used once to fill the noise table.
double inverseNormal(double p)
{
    static const double a[] = {-3.969683028665376e+01, 2.209460984245205e+02, -2.759285104469687e+02,
                               1.383577518672690e+02,  -3.066479806614716e+01, 2.506628277459239e+00};
    static const double b[] = {-5.447609879822406e+01, 1.615858368580409e+02, -1.556989798598866e+02,
                               6.680131188771972e+01,  -1.328068155288572e+01};
    static const double c[] = {-7.784894002430293e-03, -3.223964580411365e-01, -2.400758277161838e+00,
                               -2.549732539343734e+00, 4.374664141464968e+00,  2.938163982698783e+00};
    static const double d[] = {7.784695709041462e-03, 3.224671290700398e-01, 2.445134137142996e+00,
                               3.754408661907416e+00};
    const double lo = 0.02425;
    if (p < lo) {
        const double q = std::sqrt(-2.0 * std::log(p));
        return (((((c[0] * q + c[1]) * q + c[2]) * q + c[3]) * q + c[4]) * q + c[5])
            / ((((d[0] * q + d[1]) * q + d[2]) * q + d[3]) * q + 1.0);
    }
    if (p > 1.0 - lo)
        return -inverseNormal(1.0 - p);
    const double q = p - 0.5, r = q * q;
    return (((((a[0] * r + a[1]) * r + a[2]) * r + a[3]) * r + a[4]) * r + a[5]) * q
        / (((((b[0] * r + b[1]) * r + b[2]) * r + b[3]) * r + b[4]) * r + 1.0);
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

    // The room: warmer towards the ceiling, a slight draught from one side and a soft
    // low-frequency unevenness of the walls (separable, so it is built from a row and a
    // column profile).
    const size_t nw = size_t(w), nh = size_t(h);
    std::vector<float> colBase(nw), colWave(nw), rowBase(nh), rowWave(nh);
    for (int x = 0; x < w; ++x) {
        const float u = (float(x) + 0.5f) / fw;
        colBase[size_t(x)] = 0.4f * (u - 0.5f);
        colWave[size_t(x)] = float(std::sin(2.0 * kPi * 1.3 * u));
    }
    for (int y = 0; y < h; ++y) {
        const float v = (float(y) + 0.5f) / fh;
        rowBase[size_t(y)] = s.fRoomTemper + s.fGradient * (0.5f - v);
        rowWave[size_t(y)] = 0.15f * float(std::cos(2.0 * kPi * 0.9 * v));
    }

    // Shapes are only evaluated inside their bounding boxes (plus the one-pixel edge ramp).
    auto inBox = [](float p, float c, float half) { return p > c - half - 1.0f && p < c + half + 1.0f; };
    const float haloR = 7.0f * hotR;   // beyond it the halo is far below the noise

    for (int y = 0; y < h; ++y) {
        const float py = float(y) + 0.5f;
        float* row = pOut + size_t(y) * size_t(w);
        const bool torsoRows = s.bPerson && inBox(py, torsoY, torsoRy);
        const bool headRows = s.bPerson && inBox(py, headY, headRy);
        const bool neckRows = s.bPerson && py > neckTop && py < neckBottom;
        const bool cupRows = s.bColdObject && inBox(py, cupY, cupHalfH);
        const bool hotRows = inBox(py, hotY, haloR);
        for (int x = 0; x < w; ++x) {
            const float px = float(x) + 0.5f;
            float temper = rowBase[size_t(y)] + colBase[size_t(x)] + rowWave[size_t(y)] * colWave[size_t(x)];

            if (torsoRows && inBox(px, torsoX, torsoRx)) {
                const float cTorso = coverage(ellipseDistance(px, py, torsoX, torsoY, torsoRx, torsoRy));
                if (cTorso > 0.0f)
                    temper += (clothes - temper) * cTorso;
            }
            if (neckRows && inBox(px, headX, neckHalfW)) {
                const float cNeck = coverage(std::fabs(px - headX) - neckHalfW);
                if (cNeck > 0.0f)
                    temper += (s.fBodyTemper - 0.4f - temper) * cNeck;
            }
            if (headRows && inBox(px, headX, headRx)) {
                const float cHead = coverage(ellipseDistance(px, py, headX, headY, headRx, headRy));
                if (cHead > 0.0f) {
                    const float dx = (px - headX) / headRx, dy = (py - headY) / headRy;
                    const float skin = s.fBodyTemper - 0.6f * std::min(1.0f, dx * dx + dy * dy);
                    temper += (skin - temper) * cHead;
                }
            }
            if (cupRows && inBox(px, cupX, cupHalfW)) {
                const float cCup = coverage(boxDistance(px, py, cupX, cupY, cupHalfW, cupHalfH, 1.5f));
                if (cCup > 0.0f)
                    temper += (s.fColdTemper - temper) * cCup;
            }

            // Hot object: a flat core at the set temperature, a cosine rim and a faint halo,
            // so its core is the hottest part of the frame.
            if (hotRows && inBox(px, hotX, haloR)) {
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
            }
            row[x] = temper;
        }
    }
}

void SimScene::addNoise(float* pData, int nCount, float fSigma, uint64_t nSeed, uint64_t nKey)
{
    if (!pData || nCount <= 0 || fSigma <= 0.0f)
        return;
    // Normal values from a table of 4096 quantiles: one 64-bit draw serves four pixels,
    // which keeps a 25 fps stream cheap; the tails end at about 3.6 sigma.
    static const std::vector<float> kQuantiles = [] {
        std::vector<float> q(4096);
        for (size_t i = 0; i < q.size(); ++i)
            q[i] = float(inverseNormal((double(i) + 0.5) / double(q.size())));
        return q;
    }();
    uint64_t state = nSeed * 0xD1B54A32D192ED03ull ^ (nKey + 0x632BE59BD9B4E019ull);
    splitMix(state);
    for (int i = 0; i < nCount; i += 4) {
        const uint64_t bits = splitMix(state);
        const int n = std::min(4, nCount - i);
        for (int k = 0; k < n; ++k)
            pData[i + k] += fSigma * kQuantiles[size_t((bits >> (16 * k)) & 0xFFF)];
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
