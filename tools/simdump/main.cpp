// thermava-simdump: frames of the simulated camera's scene with varied settings.
//
//   thermava-simdump --out DIR [--count N] [--width W] [--height H] [--format F] [--pairs]
//                    [--sensor] [--seed S] [--hot-min C] [--hot-max C] [--noise-max C]
//
// Formats: f32 (little-endian float, degrees Celsius), u16 (little-endian, 1/100 kelvin),
// pgm8 (the camera's automatic range, minimum..maximum onto 0..255), pgm16 (1/100 kelvin).
// Without --pairs every frame is one W x H picture as the camera sees it (temporal noise,
// and with --sensor also fixed pattern and sensor defects). With --pairs each frame is a
// clean 2W x 2H original ("_hr") and its W x H camera view ("_lr", 2 x 2 averages of the
// original plus the same disturbances); pgm8 maps both with the view's range so that the
// grey levels of a pair agree. frames.csv lists every frame's settings and range.

#include "platform/simcam/SimFrameFormat.h"
#include "platform/simcam/SimScene.h"
#include "platform/simcam/SimSensor.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

struct Options
{
    std::string outDir;
    int count = 16;
    int width = 256;
    int height = 192;
    std::string format = "f32";
    bool pairs = false;
    bool sensor = false;
    uint32_t seed = 1;
    float hotMin = 40.0f;
    float hotMax = 150.0f;
    float noiseMax = 0.15f;
};

void usage()
{
    std::fprintf(stderr,
                 "usage: thermava-simdump --out DIR [--count N] [--width W] [--height H]\n"
                 "                        [--format f32|u16|pgm8|pgm16] [--pairs] [--sensor] [--seed S]\n"
                 "                        [--hot-min C] [--hot-max C] [--noise-max C]\n");
}

bool parse(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&](const char*& v) {
            if (i + 1 >= argc)
                return false;
            v = argv[++i];
            return true;
        };
        const char* v = nullptr;
        if (a == "--pairs") {
            o.pairs = true;
        } else if (a == "--sensor") {
            o.sensor = true;
        } else if (a == "--out" && next(v)) {
            o.outDir = v;
        } else if (a == "--count" && next(v)) {
            o.count = std::atoi(v);
        } else if (a == "--width" && next(v)) {
            o.width = std::atoi(v);
        } else if (a == "--height" && next(v)) {
            o.height = std::atoi(v);
        } else if (a == "--format" && next(v)) {
            o.format = v;
        } else if (a == "--seed" && next(v)) {
            o.seed = uint32_t(std::strtoul(v, nullptr, 0));
        } else if (a == "--hot-min" && next(v)) {
            o.hotMin = float(std::atof(v));
        } else if (a == "--hot-max" && next(v)) {
            o.hotMax = float(std::atof(v));
        } else if (a == "--noise-max" && next(v)) {
            o.noiseMax = float(std::atof(v));
        } else {
            return false;
        }
    }
    const bool formatOk = o.format == "f32" || o.format == "u16" || o.format == "pgm8" || o.format == "pgm16";
    return !o.outDir.empty() && o.count > 0 && o.width >= 16 && o.height >= 16 && o.width <= 4096
        && o.height <= 4096 && formatOk && o.hotMax >= o.hotMin && o.noiseMax >= 0.0f;
}

uint16_t centiKelvin(float c)
{
    return uint16_t(std::clamp(std::lround((double(c) + 273.15) * 100.0), 0L, 65535L));
}

bool writeImage(const std::string& base, const Options& o, const std::vector<float>& t, int w, int h, float lo,
                float hi)
{
    const bool pgm = o.format.rfind("pgm", 0) == 0;
    const std::string path = base + (pgm ? ".pgm" : (o.format == "f32" ? ".f32" : ".u16"));
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    const size_t n = size_t(w) * size_t(h);
    std::vector<uint8_t> bytes;
    if (o.format == "f32") {
        bytes.resize(n * 4);
        for (size_t i = 0; i < n; ++i) {
            uint32_t bits;
            std::memcpy(&bits, &t[i], 4);
            for (int k = 0; k < 4; ++k)
                bytes[4 * i + size_t(k)] = uint8_t(bits >> (8 * k));
        }
    } else if (o.format == "u16") {
        bytes.resize(n * 2);
        for (size_t i = 0; i < n; ++i) {
            const uint16_t v = centiKelvin(t[i]);
            bytes[2 * i] = uint8_t(v);
            bytes[2 * i + 1] = uint8_t(v >> 8);
        }
    } else if (o.format == "pgm8") {
        std::fprintf(f, "P5\n%d %d\n255\n", w, h);
        bytes.resize(n);
        SimFrameFormat::toGrey(t.data(), int(n), lo, hi, bytes.data());
    } else {
        std::fprintf(f, "P5\n%d %d\n65535\n", w, h);
        bytes.resize(n * 2);
        for (size_t i = 0; i < n; ++i) {
            const uint16_t v = centiKelvin(t[i]);
            bytes[2 * i] = uint8_t(v >> 8);   // PGM words are big-endian
            bytes[2 * i + 1] = uint8_t(v);
        }
    }
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace

int main(int argc, char** argv)
{
    Options o;
    if (!parse(argc, argv, o)) {
        usage();
        return 2;
    }
    mkdir(o.outDir.c_str(), 0755);
    const std::string csvPath = o.outDir + "/frames.csv";
    FILE* csv = std::fopen(csvPath.c_str(), "w");
    if (!csv) {
        std::fprintf(stderr, "cannot write %s\n", csvPath.c_str());
        return 1;
    }
    std::fprintf(csv, "name,width,height,time,hot,hot_x,hot_y,room,body,cold,noise,fpn,min,max\n");

    const int w = o.width, h = o.height;
    const int sw = o.pairs ? 2 * w : w, sh = o.pairs ? 2 * h : h;
    const SimSensor sensor(w, h, o.seed);
    int failures = 0;
    for (int i = 0; i < o.count; ++i) {
        std::mt19937 rng(o.seed * 1000003u + uint32_t(i));
        auto uni = [&](float a, float b) { return std::uniform_real_distribution<float>(a, b)(rng); };
        SimSceneSettings s;
        s.nWidth = sw;
        s.nHeight = sh;
        s.fRoomTemper = uni(18.0f, 27.0f);
        s.fGradient = uni(0.0f, 3.0f);
        s.fBodyTemper = uni(31.0f, 36.0f);
        s.fHotTemper = uni(o.hotMin, o.hotMax);
        s.fColdTemper = uni(-5.0f, 14.0f);
        s.fHotRadius = uni(0.02f, 0.07f) * float(sw);
        s.bPerson = uni(0.0f, 1.0f) < 0.7f;
        s.bColdObject = uni(0.0f, 1.0f) < 0.6f;
        s.fNoiseSigma = 0.0f;
        s.nSeed = o.seed + uint32_t(i);
        // The hot object anywhere in the picture, the rest of the scene at a random moment.
        s.fHotX = uni(s.fHotRadius, float(sw) - s.fHotRadius);
        s.fHotY = uni(s.fHotRadius, float(sh) - s.fHotRadius);
        const double t = uni(0.0f, 600.0f);
        float hx = 0.0f, hy = 0.0f;
        SimScene(s).hotCentre(t, hx, hy);

        std::vector<float> original = SimScene(s).render(t, 0);
        std::vector<float> view(size_t(w) * size_t(h));
        if (o.pairs) {
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const size_t a = size_t(2 * y) * size_t(sw) + size_t(2 * x);
                    view[size_t(y) * size_t(w) + size_t(x)] =
                        0.25f * (original[a] + original[a + 1] + original[a + size_t(sw)] + original[a + size_t(sw) + 1]);
                }
        } else {
            view = original;
        }
        const float noise = uni(0.0f, o.noiseMax);
        SimScene::addNoise(view.data(), w * h, noise, o.seed, uint64_t(i) + 1);
        float fpn = 0.0f;
        if (o.sensor) {
            fpn = uni(0.0f, 0.5f);
            const float low = s.fRoomTemper - 0.6f * (s.fRoomTemper - s.fColdTemper);
            const float high = s.fRoomTemper + 0.6f * (s.fBodyTemper - s.fRoomTemper);
            sensor.expose(view.data(), fpn, std::min(low, high), std::max(low, high), uint64_t(i));
        }
        const SimMeasurement m = SimFrameFormat::measure(view.data(), w, h);

        char name[32];
        std::snprintf(name, sizeof name, "frame_%05d", i);
        const std::string base = o.outDir + "/" + name;
        bool ok = true;
        if (o.pairs) {
            ok = writeImage(base + "_hr", o, original, sw, sh, m.fMinTemper, m.fMaxTemper)
                && writeImage(base + "_lr", o, view, w, h, m.fMinTemper, m.fMaxTemper);
        } else {
            ok = writeImage(base, o, view, w, h, m.fMinTemper, m.fMaxTemper);
        }
        if (!ok)
            ++failures;
        std::fprintf(csv, "%s,%d,%d,%.3f,%.3f,%.2f,%.2f,%.3f,%.3f,%.3f,%.4f,%.4f,%.3f,%.3f\n", name, w, h, t,
                     double(s.fHotTemper), double(hx) * w / sw, double(hy) * h / sh, double(s.fRoomTemper),
                     double(s.fBodyTemper), double(s.fColdTemper), double(noise), double(fpn),
                     double(m.fMinTemper), double(m.fMaxTemper));
    }
    if (std::fclose(csv) != 0)
        ++failures;
    std::printf("%d frame%s written to %s\n", o.count - failures, o.count - failures == 1 ? "" : "s", o.outDir.c_str());
    return failures ? 1 : 0;
}
