// The simulated camera's command model: what each vendor command does to the camera and
// what it answers.
#include "platform/simcam/SimCameraState.h"

#include <cstring>

using namespace simcam;

Reply SimCamera::State::execute(const SimProtocol::Packet& pkt, Clock::time_point now)
{
    const std::vector<uint8_t>& p = pkt.payload;
    const size_t n = p.size();
    Reply r;
    switch (pkt.nCode) {
    case 0x00:
        return executeZero(p, now);
    case 0x02:
        if (n > 1 || (n == 1 && p[0] != 0))
            return invalid();
        bRestartPending = true;
        restartAt = now + Ms(kRestartGraceMs);
        r.bRestart = true;
        ensureBusThread();
        cvBus.notify_all();
        return r;
    case 0x04:
        if (n != 0)
            return invalid();
        r.data.assign(serial.begin(), serial.end());
        r.data.push_back(0);
        return r;
    case 0x05:
        if (n != 0)
            return invalid();
        r.data.assign(version.begin(), version.end());
        return r;
    case 0x0A: {
        if (n != 2)
            return invalid();
        const int v = SimProtocol::getBe16(p.data());
        if (v > 2)
            return invalid();
        gain = v;
        return r;
    }
    case 0x0C:
        if (n != 0)
            return invalid();
        if (workMode == 5) {
            r.nStatus = SimCamera::kStatusBusy;
            return r;
        }
        // The shutter closes for a moment; the fixed pattern starts again from zero.
        lastFfc = now;
        shutterUntil = now + Ms(shutterMs);
        return r;
    case 0x10: {
        if (n != 2)
            return invalid();
        const int v = SimProtocol::getBe16(p.data());
        if (v > 13)
            return invalid();
        colour = v;
        return r;
    }
    case 0x50:
        return executeGain(p);
    case 0x66:
        if (n != 0)
            return invalid();
        r.data.assign(32, 0);
        std::memcpy(r.data.data(), part.data(), std::min<size_t>(part.size(), 31));
        return r;
    case 0xE3:
        if (n != 2 || p[0] != 0)
            return invalid();
        sharp = p[1];
        return r;
    default:
        return invalid();
    }
}

Reply SimCamera::State::executeGain(const std::vector<uint8_t>& p)
{
    const size_t n = p.size();
    if (n < 2 || p[1] != 0x04)
        return invalid();
    switch (p[0]) {
    case 0x8E:
        if (n != 3 || p[2] > 1)
            return invalid();
        autoGain = p[2];
        return echo(0x8E);
    case 0x96: {
        if (!bCapLowTemp || n != 34)
            return invalid();
        const uint32_t g = SimProtocol::getLe32(p.data() + 2);
        if (g > 1 || p[6] > 1)
            return invalid();
        gear = int(g);
        gearAuto = p[6];
        return echo(0x96);
    }
    case 0x97: {
        if (!bCapLowTemp || n != 2)
            return invalid();
        Reply r;
        r.data = {0x97, 0x04, 0x00, 0, 0, 0, 0, uint8_t(gearAuto)};
        SimProtocol::putLe32(r.data.data() + 3, uint32_t(gear));
        return r;
    }
    default:
        return invalid();
    }
}

Reply SimCamera::State::executeZero(const std::vector<uint8_t>& p, Clock::time_point now)
{
    const size_t n = p.size();
    Reply r;
    if (n == 0)
        return r;   // liveness probe
    switch (p[0]) {
    case 0x4E: {
        if (n != 3 || p[1] != 0 || p[2] != 0 || !bFormatQuery)
            return invalid();
        const SimStreamLayout l = SimFrameFormat::layoutFor(part, nImageWidth);
        r.data.assign(65, 0);
        r.data[0] = 0x4E;
        SimProtocol::putLe16(r.data.data() + 1, uint16_t(l.nStreamWidth));
        SimProtocol::putLe16(r.data.data() + 3, uint16_t(l.nStreamHeight));
        SimProtocol::putLe16(r.data.data() + 5, uint16_t(l.nImageWidth));
        SimProtocol::putLe16(r.data.data() + 7, uint16_t(l.nImageHeight));
        return r;
    }
    case 0x63:
        if (n != 3)
            return invalid();
        if (p[1] == 0 && p[2] == 1) {
            r.data = {0x63, 0x00, 0x01};
            const std::vector<uint8_t> caps = capabilityBlock();
            r.data.insert(r.data.end(), caps.begin(), caps.end());
        } else {
            r.data = {0x63, 0xFF, 0xFF};   // no such capability page
        }
        return r;
    case 0x0D:
        if (n != 3 || p[1] != 0 || (p[2] != 4 && p[2] != 5))
            return invalid();
        if (workMode != p[2]) {
            workMode = p[2];
            kick();
        }
        return echo(0x0D);
    case 0x17:
        if (!bCapSr || n != 2 || p[1] > 1)
            return invalid();
        srMode = p[1];
        return echo(0x17);
    case 0x72:
        if (n != 2)
            return invalid();
        usbMode = p[1];
        return echo(0x72);
    case 0x02:
        return executeTables(p);
    case 0x22:
        return executeChunk(p, now);
    case 0x2B:
        if (n != 1)
            return invalid();
        r.data = {0x2B};
        SimProtocol::putBe16(r.data, uint16_t(progress(now)));
        return r;
    default:
        return invalid();
    }
}

std::vector<uint8_t> SimCamera::State::capabilityBlock() const
{
    std::vector<uint8_t> caps(128, 0);
    caps[0] = 1;   // block layout version
    caps[8] = bCapSr ? 1 : 0;
    caps[13] = bCapLowTemp ? 1 : 0;
    return caps;
}

Reply SimCamera::State::executeTables(const std::vector<uint8_t>& p)
{
    const size_t n = p.size();
    if (n < 3)
        return invalid();
    const SimStreamLayout l = currentLayout();
    auto u16 = [&](size_t at) { return int(SimProtocol::getBe16(p.data() + at)); };
    Reply r;
    if (p[1] == 0xFB && p[2] == 0x01 && n == 5) {
        const int entry = u16(3);
        const int count = int(columns.size());
        if (entry < 1 || (entry > count && !(count == 0 && entry == 1)))
            return invalid();
        r.data = {0x02, 0xFB, 0x01};   // the operation is echoed in front of the entry
        SimProtocol::putBe16(r.data, uint16_t(count));
        SimProtocol::putBe16(r.data, uint16_t(count ? entry : 0));
        SimProtocol::putBe16(r.data, uint16_t(count ? columns[size_t(entry - 1)] : 0));
        return r;
    }
    if (p[1] == 0xFB && p[2] == 0x02 && n == 9) {
        const int count = u16(3), entry = u16(5), col = u16(7);
        if (count == 0) {
            columns.clear();
            pendingColumns.clear();
            return echo(0x02);
        }
        if (count > l.nImageWidth || entry < 1 || entry > count || col >= l.nImageWidth)
            return invalid();
        if (entry == 1)
            pendingColumns.assign(size_t(count), -1);
        else if (int(pendingColumns.size()) != count)
            return invalid();
        pendingColumns[size_t(entry - 1)] = col;
        if (entry == count) {
            // The table takes effect once its last entry arrives complete.
            const bool bComplete =
                std::find(pendingColumns.begin(), pendingColumns.end(), -1) == pendingColumns.end();
            if (bComplete)
                columns = pendingColumns;
            pendingColumns.clear();
            if (!bComplete)
                return invalid();
        }
        return echo(0x02);
    }
    if (p[1] == 0xFC && p[2] == 0x04 && n == 5) {
        const int entry = u16(3);
        const int count = int(pixels.size());
        if (entry < 1 || (entry > count && !(count == 0 && entry == 1)))
            return invalid();
        r.data = {0x02, 0xFC, 0x04};
        SimProtocol::putBe16(r.data, uint16_t(count));
        SimProtocol::putBe16(r.data, uint16_t(count ? entry : 0));
        SimProtocol::putBe16(r.data, uint16_t(count ? pixels[size_t(entry - 1)].nCol : 0));
        SimProtocol::putBe16(r.data, uint16_t(count ? pixels[size_t(entry - 1)].nRow : 0));
        return r;
    }
    if (p[1] == 0xFC && p[2] == 0x04 && n == 11) {
        const int count = u16(3), entry = u16(5), col = u16(7), row = u16(9);
        if (count == 0) {
            pixels.clear();
            pendingPixels.clear();
            pendingPixelSet.clear();
            return echo(0x02);
        }
        if (count > kMaxBadPixels || entry < 1 || entry > count || col >= l.nImageWidth || row >= l.nImageHeight)
            return invalid();
        if (entry == 1) {
            pendingPixels.assign(size_t(count), SimBadPixel());
            pendingPixelSet.assign(size_t(count), false);
        } else if (int(pendingPixels.size()) != count) {
            return invalid();
        }
        pendingPixels[size_t(entry - 1)] = {col, row};
        pendingPixelSet[size_t(entry - 1)] = true;
        if (entry == count) {
            const bool bComplete =
                std::find(pendingPixelSet.begin(), pendingPixelSet.end(), false) == pendingPixelSet.end();
            if (bComplete)
                pixels = pendingPixels;
            pendingPixels.clear();
            pendingPixelSet.clear();
            if (!bComplete)
                return invalid();
        }
        return echo(0x02);
    }
    if (p[1] == 0xFC && p[2] == 0x03 && n == 3) {
        savedPixels = pixels;
        savedColumns = columns;
        r = echo(0x02);
        r.nDelayMs = kSaveMs;
        return r;
    }
    return invalid();
}

Reply SimCamera::State::executeChunk(const std::vector<uint8_t>& p, Clock::time_point now)
{
    const size_t n = p.size();
    if (n < 10)
        return invalid();
    const uint32_t total = SimProtocol::getBe32(p.data() + 1);
    const uint32_t offset = SimProtocol::getBe32(p.data() + 5);
    const uint32_t len = uint32_t(n - 9);
    if (total == 0 || total > kMaxImageBytes)
        return invalid();
    if (offset == 0) {
        // A transfer starts (or starts over) with its first chunk.
        image.assign(total, 0);
        imageLen = total;
        received = 0;
        bInstalling = bInstalled = false;
    } else if (image.empty() || imageLen != total) {
        return invalid();
    }
    if (uint64_t(offset) + len > total)
        return invalid();
    if (offset > received) {
        Reply r;
        r.nStatus = SimCamera::kStatusIo;   // a gap: the chunk before it never arrived
        return r;
    }
    // A chunk may come again when its reply was lost; it simply overwrites itself.
    std::memcpy(image.data() + offset, p.data() + 9, len);
    received = std::max(received, offset + len);
    if (received == imageLen && !bInstalling && !bInstalled) {
        bInstalling = true;
        installStart = now;
        cvBus.notify_all();
    }
    return echo(0x22);
}
