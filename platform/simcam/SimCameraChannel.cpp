// The simulated camera's command channel: taking requests off the wire, the faults it can put
// on replies, and replies waiting to be read.
#include "platform/simcam/SimCameraState.h"

#include <cstring>

using namespace simcam;

void SimCamera::State::record(const SimProtocol::Packet& pkt)
{
    SimCommandRecord r;
    r.nCode = pkt.nCode;
    r.payload = pkt.payload;
    ++countByCode[pkt.nCode];
    ++countBySub[{pkt.nCode, r.subCommand()}];
    log.push_back(std::move(r));
    while (log.size() > kCommandLogSize)
        log.pop_front();
}

SimCamera::State::FaultHits SimCamera::State::decideFaults(uint8_t nCode)
{
    FaultHits h;
    std::uniform_real_distribution<double> uni(0.0, 1.0);
    for (FaultRule& f : faults) {
        if (f.nCode >= 0 && f.nCode != nCode)
            continue;
        bool bHit = false;
        if (f.nRemaining > 0) {
            --f.nRemaining;
            bHit = true;
        } else if (f.share > 0.0) {
            bHit = uni(rng) < f.share;
        }
        if (!bHit)
            continue;
        switch (f.fault) {
        case SimFault::DropReply: h.drop = true; break;
        case SimFault::WrongCode: h.wrong = true; break;
        case SimFault::Status22: h.s22 = true; break;
        case SimFault::BadMagic: h.magic = true; break;
        case SimFault::SlowReply: h.slow = true; break;
        case SimFault::OversizeLength: h.oversize = true; break;
        case SimFault::CorruptFrame: h.corrupt = true; break;
        case SimFault::LateReply: h.late = true; break;
        }
    }
    faults.erase(std::remove_if(faults.begin(), faults.end(),
                                [](const FaultRule& f) { return f.nRemaining <= 0 && f.share <= 0.0; }),
                 faults.end());
    return h;
}

void SimCamera::State::queueReply(uint8_t nCode, const Reply& r, Clock::time_point now, const FaultHits& h)
{
    if (h.drop || bMute)
        return;
    std::vector<uint8_t> packet = SimProtocol::buildPacket(nCode, r.nStatus, r.data);
    std::vector<std::vector<uint8_t>> frames;
    if (bSplitCrc) {
        // The closing CRC travels alone: a host that stops reading once the payload is in
        // leaves it on the channel.
        const std::vector<uint8_t> crc(packet.end() - 2, packet.end());
        packet.resize(packet.size() - 2);
        frames = SimProtocol::buildReplyFrames(packet, pieceSize);
        frames.push_back(SimProtocol::buildTransfer(crc.data(), 2, 2));
    } else {
        frames = SimProtocol::buildReplyFrames(packet, pieceSize);
    }
    if (h.corrupt) {
        // One frame of the reply arrives with a damaged header; the others arrive intact.
        frames[std::min<size_t>(1, frames.size() - 1)][35] ^= 0x20;
    }
    if (h.magic) {
        // A corrupted reply: the rest of it is lost with the damaged frame.
        frames.resize(1);
        frames[0][3] = 'X';
    }
    if (h.oversize) {
        const uint32_t n = SimProtocol::getLe32(frames[0].data() + 40) + 512;
        SimProtocol::putLe32(frames[0].data() + 40, n);
    }
    const auto ready = now + Ms(r.nDelayMs + (h.slow ? slowMs : 0) + (h.late ? h.nLateMs : 0));
    for (size_t i = 0; i < frames.size(); ++i) {
        OutFrame f;
        f.bytes = std::move(frames[i]);
        f.ready = ready;
        f.bRestart = r.bRestart && i + 1 == frames.size();
        replies.push_back(std::move(f));
    }
    cvReply.notify_all();
}

void SimCamera::failNext(SimFault fault, int nCount, int nCode)
{
    std::lock_guard<std::mutex> lk(d->m);
    if (nCount > 0)
        d->faults.push_back({fault, nCode, nCount, 0.0});
}

void SimCamera::setFaultShare(SimFault fault, double share, int nCode)
{
    std::lock_guard<std::mutex> lk(d->m);
    auto& faults = d->faults;
    faults.erase(std::remove_if(faults.begin(), faults.end(),
                                [&](const FaultRule& f) {
                                    return f.fault == fault && f.nCode == nCode && f.nRemaining <= 0;
                                }),
                 faults.end());
    if (share > 0.0)
        faults.push_back({fault, nCode, 0, std::min(1.0, share)});
}

void SimCamera::clearFaults()
{
    std::lock_guard<std::mutex> lk(d->m);
    d->faults.clear();
}

void SimCamera::setSlowReplyMs(int nMs)
{
    std::lock_guard<std::mutex> lk(d->m);
    d->slowMs = std::max(0, nMs);
}

void SimCamera::setSplitCrc(bool bSplit)
{
    std::lock_guard<std::mutex> lk(d->m);
    d->bSplitCrc = bSplit;
}

void SimCamera::setMute(bool bMute)
{
    std::lock_guard<std::mutex> lk(d->m);
    d->bMute = bMute;
}

void SimCamera::setReplyPieceSize(int nBytes)
{
    std::lock_guard<std::mutex> lk(d->m);
    d->pieceSize = std::clamp(nBytes, 3, SimProtocol::kMaxPieceData);
}

int SimCamera::pendingReplyFrames() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return int(d->replies.size());
}

void SimCamera::flushReplies()
{
    std::lock_guard<std::mutex> lk(d->m);
    d->replies.clear();
}

bool SimCamera::libSendDeviceData(int nCamID, unsigned char* pData, int32_t* pnLength, int nTimeoutMs)
{
    if (!pData || !pnLength)
        return false;
    std::lock_guard<std::mutex> lk(d->m);
    const auto now = Clock::now();
    d->advance(now);
    if (!d->bOpen || nCamID != kCamID)
        return false;
    const int n = *pnLength;
    if (n <= 0 || n > SimProtocol::kMaxTransfer)
        return false;
    ++d->nCommands;
    // The bytes went over the wire whatever they hold; a transfer the camera cannot use
    // is ignored and simply never answered.
    *pnLength = n;
    SimProtocol::Transfer transfer;
    std::string error = SimProtocol::parseTransfer(pData, n, transfer);
    if (!error.empty()) {
        d->protoError(error);
        return true;
    }
    if (transfer.bReservedDirty)
        d->protoError("reserved header bytes are not zero");
    SimProtocol::Packet pkt;
    int nCode = -1;
    error = SimProtocol::parsePacket(transfer.pData, transfer.nDataLength, pkt, nCode);
    if (!error.empty()) {
        d->protoError(error);
        if (nCode >= 0) {
            Reply r;
            r.nStatus = kStatusBadPacket;
            d->queueReply(uint8_t(nCode), r, now, State::FaultHits());
        }
        return true;
    }
    d->record(pkt);
    State::FaultHits hits = d->decideFaults(pkt.nCode);
    hits.nLateMs = std::max(0, nTimeoutMs) + kLateMarginMs;
    if (hits.s22) {
        d->queueReply(pkt.nCode, State::invalid(), now, hits);
    } else if (hits.wrong) {
        State::FaultHits plain = hits;
        plain.magic = plain.oversize = plain.corrupt = false;
        d->queueReply(uint8_t(pkt.nCode ^ 0x80), Reply(), now, plain);
    } else {
        // The command runs on the machine-wide state as it is now; a camera another process
        // cut off meanwhile never answers.
        Reply r;
        bool bAlive = false;
        d->shared(now, [&] {
            d->advanceLocal(now);
            bAlive = d->bOpen;
            if (bAlive)
                r = d->execute(pkt, now);
        });
        if (bAlive)
            d->queueReply(pkt.nCode, r, now, hits);
    }
    return true;
}

bool SimCamera::libRecvDeviceData(int nCamID, unsigned char* pData, int32_t* pnLength, int nTimeoutMs)
{
    if (!pData || !pnLength)
        return false;
    std::unique_lock<std::mutex> lk(d->m);
    auto now = Clock::now();
    d->advance(now);
    const int room = *pnLength;
    *pnLength = 0;
    if (!d->bOpen || nCamID != kCamID)
        return false;
    const auto deadline = now + Ms(std::max(0, nTimeoutMs));
    for (;;) {
        if (!d->bOpen)
            return false;   // the camera went away while we waited
        now = Clock::now();
        if (!d->replies.empty() && d->replies.front().ready <= now) {
            OutFrame f = std::move(d->replies.front());
            d->replies.pop_front();
            if (int(f.bytes.size()) > room)
                return false;   // overflow: the transfer is lost
            std::memcpy(pData, f.bytes.data(), f.bytes.size());
            *pnLength = int32_t(f.bytes.size());
            if (f.bRestart && d->bRestartPending) {
                d->restartAt = now;
                d->cvBus.notify_all();
            }
            return true;
        }
        if (now >= deadline)
            return false;
        auto wake = deadline;
        if (!d->replies.empty())
            wake = std::min(wake, d->replies.front().ready);
        d->cvReply.wait_until(lk, wake);
    }
}
