#pragma once
// The thermal scene in front of the simulated camera, as true temperatures in degrees
// Celsius: a room with a gentle gradient, a person, a hot object drifting slowly and a cold
// cup. Pure computation (no threads, no Qt), so tools and tests can render frames directly.

#include <cstdint>
#include <vector>

struct SimSceneSettings
{
    int nWidth = 256;
    int nHeight = 192;
    float fRoomTemper = 22.0f;     // background at the frame centre
    float fGradient = 1.5f;        // background rise from bottom to top edge (warm ceiling)
    float fBodyTemper = 34.0f;     // skin of the person (clothes are 3.5 degrees cooler)
    float fHotTemper = 65.0f;      // hot object's core
    float fColdTemper = 6.0f;      // cold cup
    float fNoiseSigma = 0.05f;     // temporal noise per frame and pixel
    float fHotRadius = -1.0f;      // pixels; negative: 3.5 % of the width
    float fHotX = -1.0f;           // fixed hot object centre in pixels; negative: it moves
    float fHotY = -1.0f;
    double dMotionSpeed = 1.0;     // time scale of all movement
    bool bPerson = true;
    bool bColdObject = true;
    uint32_t nSeed = 1;            // temporal noise is drawn from (seed, frame index)
};

class SimScene
{
public:
    explicit SimScene(const SimSceneSettings& settings = SimSceneSettings());

    const SimSceneSettings& settings() const { return m_settings; }
    void setSettings(const SimSceneSettings& settings) { m_settings = settings; }

    // True scene temperatures at time t (seconds), row-major nWidth x nHeight.
    void renderIdeal(double t, float* pOut) const;
    // The same plus temporal noise, drawn reproducibly for frame nFrame.
    void render(double t, uint64_t nFrame, float* pOut) const;
    std::vector<float> render(double t, uint64_t nFrame = 0) const;

    // Centre of the hot object at time t, in pixels.
    void hotCentre(double t, float& fX, float& fY) const;
    float hotRadius() const;

    // Adds normally distributed noise of the given sigma, reproducibly from (seed, key).
    static void addNoise(float* pData, int nCount, float fSigma, uint64_t nSeed, uint64_t nKey);

private:
    SimSceneSettings m_settings;
};
