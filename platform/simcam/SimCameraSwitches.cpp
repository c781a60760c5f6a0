// The simulated camera's switches: THERMAVA_SIM-style text applied through the setters.
#include "platform/simcam/SimCameraState.h"

#include <cstdlib>

using namespace simcam;

namespace {

std::string trim(const std::string& s)
{
    const size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos)
        return {};
    const size_t b = s.find_last_not_of(" \t\r\n");
    return s.substr(a, b - a + 1);
}

bool parseInt(const std::string& s, long& out)
{
    if (s.empty())
        return false;
    char* end = nullptr;
    out = std::strtol(s.c_str(), &end, 0);
    return end && *end == '\0';
}

bool parseDouble(const std::string& s, double& out)
{
    if (s.empty())
        return false;
    char* end = nullptr;
    out = std::strtod(s.c_str(), &end);
    return end && *end == '\0';
}

bool parseBool(const std::string& value, bool bHasValue, bool& out)
{
    if (!bHasValue) {
        out = true;
        return true;
    }
    long v = 0;
    if (!parseInt(value, v))
        return false;
    out = v != 0;
    return true;
}

bool faultFromKey(const std::string& key, SimFault& fault)
{
    static const std::pair<const char*, SimFault> kNames[] = {
        {"drop", SimFault::DropReply},   {"wrongcode", SimFault::WrongCode}, {"status22", SimFault::Status22},
        {"badmagic", SimFault::BadMagic}, {"slow", SimFault::SlowReply},     {"oversize", SimFault::OversizeLength},
        {"corrupt", SimFault::CorruptFrame}, {"late", SimFault::LateReply},
    };
    for (const auto& n : kNames) {
        if (key == n.first) {
            fault = n.second;
            return true;
        }
    }
    return false;
}

} // namespace

bool SimCamera::State::configureEntry(const std::string& key, const std::string& value, bool bHasValue,
                                      std::vector<bool>& hotplug, SimCamera& camera)
{
    long n = 0;
    double x = 0.0;
    bool b = false;
    SimFault fault;
    if (key == "absent") {
        if (!parseBool(value, bHasValue, b))
            return false;
        camera.setPresent(!b);
    } else if (key == "part" && bHasValue) {
        camera.setPartNumber(value);
    } else if (key == "serial" && bHasValue) {
        camera.setSerialNumber(value);
    } else if (key == "version" && bHasValue) {
        camera.setSoftwareVersion(value);
    } else if (key == "caps") {
        bool bSr = false, bLow = false;
        size_t start = 0;
        while (start <= value.size()) {
            const size_t comma = value.find(',', start);
            const std::string item = trim(value.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
            if (item == "sr")
                bSr = true;
            else if (item == "lowtemp")
                bLow = true;
            else if (!item.empty() && item != "none")
                return false;
            if (comma == std::string::npos)
                break;
            start = comma + 1;
        }
        camera.setCapabilities(bSr, bLow);
    } else if (key == "noformat") {
        if (!parseBool(value, bHasValue, b))
            return false;
        camera.setStreamFormatQuery(!b);
    } else if (key == "width") {
        if (!parseInt(value, n) || (n != 256 && n != 512))
            return false;
        camera.setImageWidth(int(n));
    } else if (key == "fps") {
        if (!parseDouble(value, x) || x <= 0.0)
            return false;
        camera.setFrameRate(x);
    } else if (key == "hot") {
        // <degC>, or <low>..<high>/<period s>: up and back down every period.
        const size_t dots = value.find("..");
        const size_t slash = value.find('/');
        if (dots == std::string::npos && slash == std::string::npos) {
            if (!parseDouble(value, x))
                return false;
            camera.setHotTemperature(float(x));
        } else {
            double lo = 0.0, hi = 0.0;
            if (dots == std::string::npos || slash == std::string::npos || slash < dots
                || !parseDouble(trim(value.substr(0, dots)), lo)
                || !parseDouble(trim(value.substr(dots + 2, slash - dots - 2)), hi)
                || !parseDouble(trim(value.substr(slash + 1)), x) || x <= 0.0)
                return false;
            camera.setHotRamp(float(lo), float(hi), x);
        }
    } else if (key == "seed") {
        if (!parseInt(value, n))
            return false;
        camera.setSeed(uint32_t(n));
    } else if (key == "fpnrate") {
        if (!parseDouble(value, x) || x < 0.0)
            return false;
        camera.setFixedPatternGrowth(float(x));
    } else if (key == "piece") {
        if (!parseInt(value, n) || n < 3 || n > SimProtocol::kMaxPieceData)
            return false;
        camera.setReplyPieceSize(int(n));
    } else if (key == "restartms" || key == "installms" || key == "shutterms" || key == "slowms") {
        if (!parseInt(value, n) || n < 0)
            return false;
        if (key == "restartms")
            camera.setRestartDurationMs(int(n));
        else if (key == "installms")
            camera.setInstallDurationMs(int(n));
        else if (key == "shutterms")
            camera.setShutterPauseMs(int(n));
        else
            camera.setSlowReplyMs(int(n));
    } else if (key == "splitcrc" || key == "mute") {
        if (!parseBool(value, bHasValue, b))
            return false;
        if (key == "mute")
            camera.setMute(b);
        else
            camera.setSplitCrc(b);
    } else if (key == "private") {
        if (!parseBool(value, bHasValue, b))
            return false;
        camera.setPrivate(b);
    } else if (key == "statedir" && bHasValue) {
        camera.setStateDir(value);
    } else if (key == "nofaults") {
        camera.clearFaults();
    } else if (faultFromKey(key, fault) && bHasValue) {
        std::string amount = value;
        int nCode = -1;
        const size_t at = value.find('@');
        if (at != std::string::npos) {
            if (!parseInt(trim(value.substr(at + 1)), n) || n < 0 || n > 255)
                return false;
            nCode = int(n);
            amount = trim(value.substr(0, at));
        }
        if (!amount.empty() && amount.back() == '%') {
            if (!parseDouble(amount.substr(0, amount.size() - 1), x) || x < 0.0 || x > 100.0)
                return false;
            camera.setFaultShare(fault, x / 100.0, nCode);
        } else {
            if (!parseInt(amount, n) || n < 0)
                return false;
            camera.failNext(fault, int(n), nCode);
        }
    } else if (key == "unplug" && !bHasValue) {
        hotplug.push_back(false);
    } else if (key == "replug" && !bHasValue) {
        hotplug.push_back(true);
    } else {
        return false;
    }
    return true;
}

bool SimCamera::configure(const std::string& spec)
{
    bool bOk = true;
    std::vector<bool> hotplug;
    // Which device the switches apply to (private or machine-wide, and where) is decided
    // first, wherever those entries stand.
    for (const bool bModePass : {true, false}) {
        size_t start = 0;
        while (start <= spec.size()) {
            const size_t semi = spec.find(';', start);
            const std::string entry = trim(spec.substr(start, semi == std::string::npos ? std::string::npos : semi - start));
            const size_t eq = entry.find('=');
            const std::string key = trim(entry.substr(0, eq));
            if (!entry.empty() && bModePass == (key == "private" || key == "statedir")) {
                const std::string value = eq == std::string::npos ? std::string() : trim(entry.substr(eq + 1));
                if (!d->configureEntry(key, value, eq != std::string::npos, hotplug, *this))
                    bOk = false;
            }
            if (semi == std::string::npos)
                break;
            start = semi + 1;
        }
    }
    for (bool bArrive : hotplug) {
        if (bArrive)
            replug();
        else
            unplug();
    }
    return bOk;
}
