// Byte-level command frames: checksums, request layout, received-frame checks and the
// joining of replies, without any camera. Also the bytes a real camera's backend reads: USB
// descriptors, the camera setting's transport overrides, and captured buffers.

#include "device/CommandFrame.h"
#include "platform/v4l2/UsbDescriptors.h"
#include "platform/v4l2/V4l2Pixels.h"
#include "platform/v4l2/V4l2Target.h"

#include <QtTest>
#include <cstring>
#include <vector>

using namespace CommandFrame;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes header(uint32_t nDataLen)
{
    Bytes h(kFrameHeaderSize);
    writeFrameHeader(h.data(), nDataLen);
    return h;
}

Bytes withData(Bytes frame, const Bytes& data)
{
    frame.insert(frame.end(), data.begin(), data.end());
    return frame;
}

// Feeds one frame to the assembler the way the link does: received into the slot.
ReplyAssembler::State feed(ReplyAssembler& a, const Bytes& frame)
{
    std::memcpy(a.receiveSlot(), frame.data(), frame.size());
    return a.accept(static_cast<int>(frame.size()));
}

// Reply packet of a command with the given payload (the trailing CRC is not needed).
Bytes replyPacket(uint8_t nCode, const Bytes& payload, uint8_t nStatus = 0)
{
    Bytes pkt(payload.size() + kPacketOverhead);
    buildPacket(nCode, payload.data(), static_cast<int>(payload.size()), pkt.data(), static_cast<int>(pkt.size()), nStatus);
    return pkt;
}

} // namespace

class TestDeviceFrames : public QObject
{
    Q_OBJECT

private slots:
    void checksumsMatchTheirStandardCheckValues()
    {
        const char* check = "123456789";
        const auto* p = reinterpret_cast<const uint8_t*>(check);
        QCOMPARE(crc16Xmodem(p, 9), uint16_t(0x31C3));
        QCOMPARE(crc32(p, 9), uint32_t(0xCBF43926));
        QCOMPARE(crc32(p, 0), uint32_t(0));
        // The incremental forms agree with the one-shot ones however the data is split.
        for (size_t cut = 0; cut <= 9; ++cut) {
            QCOMPARE(crc32Update(crc32Update(0, p, cut), p + cut, 9 - cut), uint32_t(0xCBF43926));
            QCOMPARE(crc16Xmodem(p + cut, 9 - cut, crc16Xmodem(p, cut)), uint16_t(0x31C3));
        }
    }

    void requestPacketsAndFramesAreLaidOutByteForByte()
    {
        // Stream-format query: command 0, payload 'N' 0 0.
        const uint8_t fmt[] = {0x4E, 0, 0};
        uint8_t out[64];
        QCOMPARE(buildPacket(0x00, fmt, 3, out, sizeof(out)), 13);
        const Bytes expectFmt = {0x6E, 0, 0, 0, 0, 3, 0xEF, 0xD8, 0x4E, 0, 0, 0x06, 0xAC};
        QCOMPARE(Bytes(out, out + 13), expectFmt);

        // Flat-field correction: empty payload, 10-byte packet, 74-byte transfer.
        QCOMPARE(buildPacket(0x0C, nullptr, 0, out, sizeof(out)), 10);
        const Bytes expectFfc = {0x6E, 0, 0, 0x0C, 0, 0, 0xAA, 0xDA, 0, 0};
        QCOMPARE(Bytes(out, out + 10), expectFfc);

        uint8_t frame[128];
        QCOMPARE(buildFrame(out, 10, frame, sizeof(frame)), 74);
        Bytes expectFrame = {0x42, 0x48, 0x48, 0x55, 1, 0, 0, 0, 0xE0, 0x03, 0, 0};
        expectFrame.resize(32, 0);
        const Bytes second = {0x42, 0x48, 0x48, 0x55, 1, 0, 0, 0, 0x0A, 0, 0, 0};
        expectFrame.insert(expectFrame.end(), second.begin(), second.end());
        expectFrame.resize(64, 0);
        expectFrame.insert(expectFrame.end(), expectFfc.begin(), expectFfc.end());
        QCOMPARE(Bytes(frame, frame + 74), expectFrame);

        // The packet CRC always equals the CRC of the payload alone.
        const uint8_t payload[] = {0x02, 0xFC, 0x04, 0x00, 0x05};
        QCOMPARE(buildPacket(0x00, payload, 5, out, sizeof(out)), 15);
        QCOMPARE(uint16_t((out[13] << 8) | out[14]), crc16Xmodem(payload, 5));
    }

    void requestsMustFitTheFrameBuffer()
    {
        std::vector<uint8_t> payload(kMaxRequestPayload + 1, 0xA5);
        std::vector<uint8_t> pkt(kFrameBufferSize);
        std::vector<uint8_t> frame(kFrameBufferSize);
        const int nLen = buildPacket(0, payload.data(), kMaxRequestPayload, pkt.data(), kFrameBufferSize);
        QCOMPARE(nLen, kMaxRequestPayload + 10);
        QCOMPARE(buildFrame(pkt.data(), nLen, frame.data(), kFrameBufferSize), kFrameBufferSize);
        QCOMPARE(buildFrame(pkt.data(), nLen + 1, frame.data(), kFrameBufferSize), -1);
        QCOMPARE(buildPacket(0, payload.data(), 0x10000, pkt.data(), kFrameBufferSize), -1);
        QCOMPARE(buildPacket(0, nullptr, 3, pkt.data(), kFrameBufferSize), -1);
    }

    void receivedFramesAreChecked()
    {
        const Bytes ok = withData(header(2), {1, 2});
        QCOMPARE(checkFrame(ok.data(), 66), 2);
        // Trailing bytes beyond the announced data are tolerated.
        QCOMPARE(checkFrame(withData(ok, {9, 9}).data(), 68), 2);

        const Bytes bare = header(0);
        QCOMPARE(checkFrame(bare.data(), 64), -1);   // header only
        QCOMPARE(checkFrame(withData(header(0), {1}).data(), 65), -1);   // announces no data

        Bytes badFirst = ok;
        badFirst[0] = 'X';
        QCOMPARE(checkFrame(badFirst.data(), 66), -1);
        Bytes badSecond = ok;
        badSecond[35] = 'X';
        QCOMPARE(checkFrame(badSecond.data(), 66), -1);

        // More data announced than arrived would expose bytes never received.
        const Bytes overstated = withData(header(3), {1, 2});
        QCOMPARE(checkFrame(overstated.data(), 66), -1);
        QCOMPARE(checkFrame(withData(header(0xFFFFFFFF), {1}).data(), 65), -1);
    }

    void repliesSplitOverSeveralFramesAreJoinedInOrder()
    {
        Bytes payload(2500);
        for (size_t i = 0; i < payload.size(); ++i)
            payload[i] = static_cast<uint8_t>(i * 7);
        Bytes pkt = replyPacket(0x04, payload);
        pkt.resize(8 + payload.size());   // the reply CRC is not awaited

        ReplyAssembler a(0x04);
        size_t off = 0;
        // Uneven pieces, the first one cutting the packet header in two.
        const size_t pieces[] = {3, 900, 960, 17};
        for (size_t n : pieces) {
            QCOMPARE(feed(a, withData(header(static_cast<uint32_t>(n)), Bytes(pkt.begin() + off, pkt.begin() + off + n))),
                     ReplyAssembler::State::NeedMore);
            off += n;
        }
        const size_t rest = pkt.size() - off;
        QCOMPARE(feed(a, withData(header(static_cast<uint32_t>(rest)), Bytes(pkt.begin() + off, pkt.end()))),
                 ReplyAssembler::State::Complete);
        QCOMPARE(a.status(), uint8_t(0));
        QCOMPARE(a.payloadLength(), 2500);
        QCOMPARE(Bytes(a.payload(), a.payload() + 2500), payload);
    }

    void repliesAreRejectedByTheirHeader()
    {
        // Another command's reply.
        ReplyAssembler wrong(0x66);
        QCOMPARE(feed(wrong, withData(header(10), replyPacket(0x05, {1, 2}))), ReplyAssembler::State::WrongCommand);

        // A packet announcing 8 + N >= 32,768 fails at once, before any further receive.
        ReplyAssembler huge(0x04);
        Bytes bigHdr = replyPacket(0x04, {});
        bigHdr[4] = 0x7F;
        bigHdr[5] = 0xF8;   // N = 32,760
        QCOMPARE(feed(huge, withData(header(8), Bytes(bigHdr.begin(), bigHdr.begin() + 8))), ReplyAssembler::State::Failed);
        ReplyAssembler justBelow(0x04);
        bigHdr[5] = 0xF7;   // N = 32,759: 8 + N = 32,767 is still allowed
        QCOMPARE(feed(justBelow, withData(header(8), Bytes(bigHdr.begin(), bigHdr.begin() + 8))),
                 ReplyAssembler::State::NeedMore);

        // A nonzero status still completes; the status is handed back.
        ReplyAssembler refused(0x0C);
        QCOMPARE(feed(refused, withData(header(10), replyPacket(0x0C, {}, 22))), ReplyAssembler::State::Complete);
        QCOMPARE(refused.status(), uint8_t(22));

        // A frame of exactly 64 bytes, or a library claiming more than the room it was given.
        ReplyAssembler bare(0x0C);
        QCOMPARE(feed(bare, header(0)), ReplyAssembler::State::Failed);
        ReplyAssembler liar(0x0C);
        std::memcpy(liar.receiveSlot(), withData(header(10), replyPacket(0x0C, {})).data(), 74);
        QCOMPARE(liar.accept(ReplyAssembler::receiveRoom() + 1), ReplyAssembler::State::Failed);
    }

    void aLastPieceNearTheLimitStaysInsideTheBuffer()
    {
        // A reply of 8 + 32,759 bytes whose last piece starts just below the limit and fills
        // the whole receive room. Run under the sanitizer build to see any overflow.
        const int nPayload = kFrameBufferSize - 9;
        Bytes payload(static_cast<size_t>(nPayload));
        for (int i = 0; i < nPayload; ++i)
            payload[static_cast<size_t>(i)] = static_cast<uint8_t>(i ^ (i >> 8));
        Bytes pkt = replyPacket(0x04, payload);
        pkt.resize(8 + payload.size());

        ReplyAssembler a(0x04);
        const size_t kPiece = kReceiveRoom - kFrameHeaderSize;
        size_t off = 0;
        ReplyAssembler::State st = ReplyAssembler::State::NeedMore;
        // Stop short so the final piece begins at the limit minus a few bytes.
        while (pkt.size() - off > kPiece) {
            st = feed(a, withData(header(static_cast<uint32_t>(kPiece)), Bytes(pkt.begin() + off, pkt.begin() + off + kPiece)));
            QCOMPARE(st, ReplyAssembler::State::NeedMore);
            off += kPiece;
        }
        // The last frame brings the rest plus padding up to the full 1024 bytes of room.
        Bytes last = withData(header(static_cast<uint32_t>(pkt.size() - off)), Bytes(pkt.begin() + off, pkt.end()));
        last.resize(kReceiveRoom, 0xEE);
        QCOMPARE(feed(a, last), ReplyAssembler::State::Complete);
        QCOMPARE(Bytes(a.payload(), a.payload() + nPayload), payload);
    }

    void usbDescriptorsOfferTheCommandChannel()
    {
        const Bytes dev = {18, 1, 0, 2, 0xEF, 2, 1, 64, 0x34, 0x12, 0xCD, 0xAB, 0, 1, 1, 2, 3, 1};
        const Bytes cfg = {9, 2, 0, 0, 4, 1, 0, 0x80, 250};
        const Bytes vc = {9, 4, 0, 0, 1, 0x0E, 0x01, 0, 0};
        // Extension unit 5: GUID 00..0f, 2 controls, 2 input pins, 2-byte bitmap 0x05 0x80.
        Bytes xu = {28, 0x24, 0x06, 5};
        for (uint8_t i = 0; i < 16; ++i)
            xu.push_back(i);
        xu.insert(xu.end(), {2, 2, 1, 2, 2, 0x05, 0x80, 0});
        const Bytes vs = {9, 4, 1, 0, 0, 0x0E, 0x02, 0, 0};
        // Vendor interface 2: bulk OUT 0x01, an interrupt IN that does not count, bulk IN 0x81;
        // its alternate setting and interface 3 (IN only) offer nothing.
        const Bytes vendor = {9, 4, 2, 0, 3, 0xFF, 0, 0, 0, 7, 5, 0x01, 2, 0, 2, 0, 7, 5, 0x83, 3, 8, 0, 4,
                              7, 5, 0x81, 2, 0, 2, 0, 9, 4, 2, 1, 2, 0xFF, 0, 0, 0, 7, 5, 0x02, 2, 0, 2, 0,
                              7, 5, 0x82, 2, 0, 2, 0, 9, 4, 3, 0, 1, 0xFF, 0, 0, 0, 7, 5, 0x84, 2, 0, 2, 0};
        Bytes all;
        for (const Bytes* p : std::initializer_list<const Bytes*>{&dev, &cfg, &vc, &xu, &vs, &vendor})
            all.insert(all.end(), p->begin(), p->end());
        // A second configuration is not the active one.
        all.insert(all.end(), cfg.begin(), cfg.end());
        all.insert(all.end(), {9, 4, 7, 0, 2, 0xFF, 0, 0, 0, 7, 5, 0x03, 2, 0, 2, 0, 7, 5, 0x85, 2, 0, 2, 0});

        const UsbDescriptorSummary s = parseUsbDescriptors(all.data(), all.size());
        QVERIFY(s.bValid);
        QCOMPARE(s.nVendorId, uint16_t(0x1234));
        QCOMPARE(s.nProductId, uint16_t(0xABCD));
        QCOMPARE(s.nVideoControlInterface, 0);
        QCOMPARE(s.vendorBulk.size(), size_t(1));
        QCOMPARE(s.vendorBulk[0].nInterface, 2);
        QCOMPARE(s.vendorBulk[0].nEndpointOut, 0x01);
        QCOMPARE(s.vendorBulk[0].nEndpointIn, 0x81);
        QCOMPARE(s.extensionUnits.size(), size_t(1));
        QCOMPARE(s.extensionUnits[0].nUnitId, 5);
        QCOMPARE(s.extensionUnits[0].selectors, std::vector<int>({1, 3, 16}));
        QCOMPARE(s.extensionUnits[0].guidText(), std::string("03020100-0504-0706-0809-0a0b0c0d0e0f"));

        // Cut inside the extension unit, or a descriptor claiming length 0: the walk stops
        // there, keeping what came before, and reads nothing beyond the end.
        const size_t nCut = dev.size() + cfg.size() + vc.size() + 20;
        Bytes cut(all.begin(), all.begin() + long(nCut));
        const UsbDescriptorSummary t = parseUsbDescriptors(cut.data(), cut.size());
        QVERIFY(t.bValid && t.extensionUnits.empty() && t.nVideoControlInterface == 0);
        all[dev.size() + cfg.size() + vc.size()] = 0;
        QVERIFY(parseUsbDescriptors(all.data(), all.size()).extensionUnits.empty());
        QVERIFY(!parseUsbDescriptors(dev.data(), 10).bValid);
    }

    void cameraSettingOverridesAreParsed()
    {
        V4l2Target t;
        QVERIFY(parseV4l2Target("auto", &t, nullptr) && t.isAuto());
        QVERIFY(parseV4l2Target("/dev/video2", &t, nullptr));
        QCOMPARE(t.node, std::string("/dev/video2"));
        QCOMPARE(t.eTransport, V4l2Target::Transport::FromDescriptors);
        QVERIFY(parseV4l2Target("/dev/video2,bulk=2:0x01:0x81", &t, nullptr));
        QVERIFY(t.eTransport == V4l2Target::Transport::Bulk && t.nInterface == 2 && t.nEndpointOut == 1 && t.nEndpointIn == 0x81);
        QVERIFY(parseV4l2Target("/dev/video0,xu=4:0x0a", &t, nullptr));
        QVERIFY(t.eTransport == V4l2Target::Transport::Xu && t.nUnit == 4 && t.nSelector == 10);
        QVERIFY(parseV4l2Target("/dev/video0,nocmd", &t, nullptr) && t.eTransport == V4l2Target::Transport::None);
        // Directions swapped, a missing part, signs, junk, two transports, no node: refused
        // with a reason, and the target is left as it was.
        for (const char* pszBad : {"/dev/video0,bulk=2:0x81:0x01", "/dev/video0,bulk=2:0x01", "/dev/video0,xu=-1:1",
                                   "/dev/video0,xu=4:1x", "/dev/video0,nocmd,xu=4:1", "/dev/video0,fast", "video0",
                                   "/dev/video0,xu=0:1", "/dev/video0,bulk=256:1:0x81"}) {
            std::string error;
            QVERIFY2(!parseV4l2Target(pszBad, &t, &error) && !error.empty(), pszBad);
            QCOMPARE(t.eTransport, V4l2Target::Transport::None);
        }
    }

    void capturedBuffersBecomePackedUyvy()
    {
        // Two rows of 4 pixels in YUYV with 4 bytes of padding per row.
        const Bytes yuyv = {10, 20, 11, 30, 12, 21, 13, 31, 0xEE, 0xEE, 0xEE, 0xEE,
                            14, 22, 15, 32, 16, 23, 17, 33, 0xEE, 0xEE, 0xEE, 0xEE};
        const Bytes uyvy = {20, 10, 30, 11, 21, 12, 31, 13, 22, 14, 32, 15, 23, 16, 33, 17};
        Bytes out(16, 0);
        V4l2Pixels::packFrame(yuyv.data(), 12, 4, 2, true, out.data());
        QCOMPARE(out, uyvy);
        // UYVY with padding only loses the padding; a tail shorter than a word is swapped too.
        Bytes padded = uyvy;
        padded.insert(padded.begin() + 8, 3, 0xEE);
        V4l2Pixels::packFrame(padded.data(), 11, 4, 2, false, out.data());
        QCOMPARE(out, uyvy);
        Bytes ten(yuyv.begin(), yuyv.begin() + 10);
        V4l2Pixels::swapPairs(ten.data(), ten.data(), ten.size());
        QCOMPARE(ten, Bytes({20, 10, 30, 11, 21, 12, 31, 13, 0xEE, 0xEE}));
        QCOMPARE(V4l2Pixels::neededBytes(12, 4, 2), size_t(20));

        // Stream sizes: image rows plus trailer rows, one or two image widths wide.
        using Sizes = std::initializer_list<std::pair<int, int>>;
        for (auto size : Sizes{{256, 194}, {256, 196}, {512, 200}, {512, 386}, {1024, 392}})
            QVERIFY(V4l2Pixels::isLinkStreamSize(size.first, size.second));
        for (auto size : Sizes{{256, 192}, {512, 384}, {640, 480}, {256, 201}, {384, 292}})
            QVERIFY(!V4l2Pixels::isLinkStreamSize(size.first, size.second));
    }
};

QTEST_MAIN(TestDeviceFrames)
#include "test_device_frames.moc"
