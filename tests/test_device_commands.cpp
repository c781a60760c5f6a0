// Command transactions and the command set against a scripted camera library: rejection
// rules, retries, the encodings of the commands and the channel lock.

#include "device/DeviceCommands.h"
#include "device/UsbCameraLink.h"
#include "test_device_fakelib.h"

#include <QtTest>
#include <atomic>
#include <thread>

namespace {

UsbCameraLink& link() { return UsbCameraLink::instance(); }

Bytes payloadOf(const FakeRequest& r) { return r.payload; }

// A responder that answers every request with status 0, the echo, and extra reply bytes.
std::function<void(const FakeRequest&)> answerWith(const Bytes& tail, uint8_t nStatus = 0)
{
    return [tail, nStatus](const FakeRequest& r) {
        Bytes reply;
        if (!r.payload.empty())
            reply.push_back(r.payload[0]);
        reply.insert(reply.end(), tail.begin(), tail.end());
        FakeLib::get().queueReply(r.nCode, reply, nStatus);
    };
}

Bytes be16(int v) { return {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)}; }

Bytes cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

} // namespace

class TestDeviceCommands : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        FakeLib::get().install();
        link().bStreaming = true;
        link().nLastStatus = 0;
        std::memset(link().szCapability, 0, sizeof(link().szCapability));
    }
    void cleanup()
    {
        link().bStreaming = false;
        FakeLib::uninstall();
    }

    void exchangeRejectsBrokenReplies()
    {
        FakeLib& f = FakeLib::get();
        uint8_t reply[64];
        int nLen = 99;
        uint8_t nStatus = 0xAA;
        const Bytes good = FakeLib::frame(FakeLib::packet(0x0C, {}));

        // Library send failure: nothing is received.
        f.bSendOk = false;
        QVERIFY(!exchangeCommand(link(), 0x0C, nullptr, 0, &nStatus, reply, sizeof(reply), &nLen, 100));
        QCOMPARE(f.callCount("RecvDeviceData"), 0);
        f.bSendOk = true;

        struct Case { const char* name; uint8_t nCode; std::vector<FakeRecv> recvs; };
        Bytes badMagic = good;
        badMagic[33] = 0;
        Bytes noData = good;
        noData[40] = 0;
        Bytes overstated = good;
        overstated[40] = 11;   // 11 announced, 10 present
        const Bytes firstPiece = FakeLib::frame({0x6E, 0, 0, 0x04, 0, 4, 0, 0});
        const std::vector<Case> cases = {
            {"receive fails", 0x0C, {{false, {}, -1}}},
            {"64-byte frame", 0x0C, {{true, Bytes(good.begin(), good.begin() + 64), -1}}},
            {"bad second magic", 0x0C, {{true, badMagic, -1}}},
            {"no data announced", 0x0C, {{true, noData, -1}}},
            {"more data announced than received", 0x0C, {{true, overstated, -1}}},
            {"second piece corrupt", 0x04, {{true, firstPiece, -1}, {true, badMagic, -1}}},
            {"second piece missing", 0x04, {{true, firstPiece, -1}}},
        };
        for (const Case& c : cases) {
            f.reset();
            for (const FakeRecv& r : c.recvs)
                f.queueRecv(r);
            nLen = 99;
            QVERIFY2(!exchangeCommand(link(), c.nCode, nullptr, 0, &nStatus, reply, sizeof(reply), &nLen, 100), c.name);
            QCOMPARE(nLen, 0);
        }

        // A reply to another command fails and reports an empty reply.
        f.reset();
        f.queueReply(0x05, {1, 2, 3});
        nLen = 99;
        QVERIFY(!exchangeCommand(link(), 0x04, nullptr, 0, &nStatus, reply, sizeof(reply), &nLen, 100));
        QCOMPARE(nLen, 0);

        // A reply announcing 8 + N >= 32,768 fails without waiting for the rest.
        f.reset();
        f.queueRecv({true, FakeLib::frame({0x6E, 0, 0, 0x04, 0x7F, 0xF8, 0, 0}), -1});
        f.queueReply(0x04, {});
        QVERIFY(!exchangeCommand(link(), 0x04, nullptr, 0, &nStatus, reply, sizeof(reply), &nLen, 100));
        QCOMPARE(f.callCount("RecvDeviceData"), 1);
    }

    void exchangeHandsBackStatusAndReply()
    {
        FakeLib& f = FakeLib::get();
        uint8_t nStatus = 0xAA;
        int nLen = 99;

        // Nonzero status: the transaction succeeds with that status and an empty reply.
        uint8_t reply[64];
        f.queueReply(0x0C, {7, 7}, 22);
        QVERIFY(exchangeCommand(link(), 0x0C, nullptr, 0, &nStatus, reply, sizeof(reply), &nLen, 100));
        QCOMPARE(nStatus, uint8_t(22));
        QCOMPARE(nLen, 0);

        // A long reply in many frames is joined in order.
        Bytes text(3000);
        for (size_t i = 0; i < text.size(); ++i)
            text[i] = static_cast<uint8_t>('a' + i % 26);
        f.queueReply(0x04, text, 0, 700);
        std::vector<uint8_t> big(8192, 0);
        QVERIFY(exchangeCommand(link(), 0x04, nullptr, 0, &nStatus, big.data(), 8192, &nLen, 100));
        QCOMPARE(nStatus, uint8_t(0));
        QCOMPARE(nLen, 3000);
        QCOMPARE(Bytes(big.begin(), big.begin() + 3000), text);

        // A reply longer than the caller's buffer is cut to the buffer, nothing beyond it written.
        uint8_t small[8 + 4];
        std::memset(small, 0xCC, sizeof(small));
        f.queueReply(0x04, text);
        QVERIFY(exchangeCommand(link(), 0x04, nullptr, 0, &nStatus, small, 8, &nLen, 100));
        QCOMPARE(nLen, 8);
        QCOMPARE(Bytes(small, small + 8), Bytes(text.begin(), text.begin() + 8));
        QCOMPARE(small[8], uint8_t(0xCC));

        // The request carried the payload; without outputs the reply is simply consumed.
        const uint8_t payload[] = {0x4E, 0, 0};
        f.queueReply(0, {0x4E});
        QVERIFY(exchangeCommand(link(), 0, payload, 3, nullptr, nullptr, 0, nullptr, 100));
        QCOMPARE(f.sent().back().payload, Bytes({0x4E, 0, 0}));
        QCOMPARE(f.sent().back().frame.size(), size_t(64 + 13));

        // Payloads beyond the frame buffer are refused before anything is sent.
        const int nSends = f.callCount("SendDeviceData");
        std::vector<uint8_t> tooLong(CommandFrame::kMaxRequestPayload + 1);
        QVERIFY(!exchangeCommand(link(), 0, tooLong.data(), static_cast<int>(tooLong.size()), nullptr, nullptr, 0,
                                 nullptr, 100));
        QCOMPARE(f.callCount("SendDeviceData"), nSends);
    }

    void sendCommandRetriesAndStops()
    {
        FakeLib& f = FakeLib::get();

        // Dropped replies are retried; the third attempt gets through.
        f.queueRecvFailure();
        f.queueRecvFailure();
        f.queueReply(0x0C, {});
        QVERIFY(sendCommand(link(), 0x0C, nullptr, 0, 100));
        QCOMPARE(f.sent().size(), size_t(3));

        // Three failures give up.
        f.reset();
        QVERIFY(!sendCommand(link(), 0x0C, nullptr, 0, 100));
        QCOMPARE(f.sent().size(), size_t(3));

        // Status 22 ends the attempts at once and stays in nLastStatus.
        f.reset();
        f.responder = answerWith({}, 22);
        QVERIFY(!sendCommand(link(), 0x0C, nullptr, 0, 100));
        QCOMPARE(f.sent().size(), size_t(1));
        QCOMPARE(link().nLastStatus.load(), uint32_t(22));

        // Another status is retried; the last failed status is kept, a success clears it.
        f.reset();
        f.responder = answerWith({}, 5);
        QVERIFY(!sendCommand(link(), 0x0C, nullptr, 0, 100));
        QCOMPARE(f.sent().size(), size_t(3));
        QCOMPARE(link().nLastStatus.load(), uint32_t(5));
        f.reset();
        f.queueReply(0x0C, {}, 5);
        f.queueReply(0x0C, {});
        QVERIFY(sendCommand(link(), 0x0C, nullptr, 0, 100));
        QCOMPARE(link().nLastStatus.load(), uint32_t(0));

        // A reply to another command is discarded and the same attempt reads on.
        f.reset();
        f.queueReply(0x66, {1});
        f.queueReply(0x0C, {});
        QVERIFY(sendCommand(link(), 0x0C, nullptr, 0, 100));
        QCOMPARE(f.sent().size(), size_t(1));
    }

    void sendCommandChecksTheSubCommandEcho()
    {
        FakeLib& f = FakeLib::get();
        const uint8_t gear[] = {0x96, 0x04, 0, 0, 0, 0, 1, 1};

        f.responder = [](const FakeRequest& r) { FakeLib::get().queueReply(r.nCode, {0x97}); };
        QVERIFY(!sendCommand(link(), 0x50, gear, sizeof(gear), 100));
        QCOMPARE(f.sent().size(), size_t(3));

        // An empty reply carries no echo either.
        f.reset();
        f.responder = [](const FakeRequest& r) { FakeLib::get().queueReply(r.nCode, {}); };
        QVERIFY(!sendCommand(link(), 0x00, gear, 1, 100));

        f.reset();
        f.responder = answerWith({});
        QVERIFY(sendCommand(link(), 0x50, gear, sizeof(gear), 100));
        QCOMPARE(f.sent().size(), size_t(1));

        // Commands other than 0 and 0x50 need no echo, nor does command 0 without payload.
        f.reset();
        f.responder = [](const FakeRequest& r) { FakeLib::get().queueReply(r.nCode, {0x55}); };
        const uint8_t value[] = {0, 1};
        QVERIFY(sendCommand(link(), 0x10, value, 2, 100));
        QVERIFY(probeDevice(link()));
        QCOMPARE(f.sent().back().nCode, uint8_t(0));
        QVERIFY(f.sent().back().payload.empty());
    }

    void badTablesAreWrittenEntryByEntry()
    {
        FakeLib& f = FakeLib::get();
        f.responder = answerWith({});

        // An empty column table is one 9-byte all-zero write.
        QVERIFY(writeBadColumnTable(link(), 0, nullptr));
        QCOMPARE(f.sent().size(), size_t(1));
        QCOMPARE(payloadOf(f.sent()[0]), Bytes({0x02, 0xFB, 0x02, 0, 0, 0, 0, 0, 0}));
        f.reset();
        f.responder = answerWith({});
        QVERIFY(writeBadPixelTable(link(), 0, nullptr, nullptr));
        QCOMPARE(payloadOf(f.sent()[0]), Bytes({0x02, 0xFC, 0x04, 0, 0, 0, 0, 0, 0, 0, 0}));

        // Pixels: total count, entry number, column, then row.
        f.reset();
        f.responder = answerWith({});
        const int rows[] = {10, 300};
        const int cols[] = {20, 5};
        QVERIFY(writeBadPixelTable(link(), 2, rows, cols));
        QCOMPARE(f.sent().size(), size_t(2));
        QCOMPARE(payloadOf(f.sent()[0]), cat({{0x02, 0xFC, 0x04}, be16(2), be16(1), be16(20), be16(10)}));
        QCOMPARE(payloadOf(f.sent()[1]), cat({{0x02, 0xFC, 0x04}, be16(2), be16(2), be16(5), be16(300)}));

        // Columns: the first refused entry stops the write.
        f.reset();
        f.responder = [](const FakeRequest& r) {
            const bool bSecond = r.payload.size() == 9 && r.payload[6] == 2;
            FakeLib::get().queueReply(r.nCode, {r.payload[0]}, bSecond ? 22 : 0);
        };
        const int colTable[] = {7, 8, 9};
        QVERIFY(!writeBadColumnTable(link(), 3, colTable));
        QCOMPARE(f.sent().size(), size_t(2));
        QCOMPARE(payloadOf(f.sent()[0]), cat({{0x02, 0xFB, 0x02}, be16(3), be16(1), be16(7)}));

        // Saving both tables.
        f.reset();
        f.responder = answerWith({});
        QVERIFY(saveBadTables(link()));
        QCOMPARE(payloadOf(f.sent()[0]), Bytes({0x02, 0xFC, 0x03}));
    }

    void badTablesAreReadUpToTheirLimit()
    {
        FakeLib& f = FakeLib::get();
        int nTotal = 3;
        // Entry k of a pixel table: index k, column 100 + k, row 200 + k.
        const auto pixelTable = [&nTotal](const FakeRequest& r) {
            const int nEntry = (r.payload[3] << 8) | r.payload[4];
            // Passed over within the wait: another entry, another sub-command, another command.
            FakeLib::get().queueReply(0, cat({{0x02, 0, 0}, be16(nTotal), be16(nEntry + 1), be16(0), be16(0)}));
            FakeLib::get().queueReply(0, {0x0D});
            FakeLib::get().queueReply(0x66, Bytes(20, 'x'), 0, 8);
            Bytes reply = cat({{0x02, 0, 0}, be16(nTotal), be16(nEntry), be16(100 + nEntry), be16(200 + nEntry)});
            // Later entries report a different total; the first one read decides.
            if (nEntry > 1)
                reply[3] = 0x7F;
            FakeLib::get().queueReply(0, reply);
        };
        f.responder = pixelTable;
        int idx[256] = {}, rows[256] = {}, cols[256] = {};
        int nCount = 0;
        QVERIFY(readBadPixelTable(link(), 256, idx, rows, cols, &nCount));
        QCOMPARE(nCount, 3);
        QCOMPARE(f.sent().size(), size_t(3));
        QCOMPARE(payloadOf(f.sent()[2]), cat({{0x02, 0xFC, 0x04}, be16(3)}));
        QCOMPARE(idx[2], 3);
        QCOMPARE(cols[2], 103);
        QCOMPARE(rows[2], 203);

        // A count above the limit fails with -1 after the first read.
        f.reset();
        f.responder = pixelTable;
        nTotal = 257;
        QVERIFY(!readBadPixelTable(link(), 256, idx, rows, cols, &nCount));
        QCOMPARE(nCount, -1);
        QCOMPARE(f.sent().size(), size_t(1));

        // The first failed read ends a column table with the count as read.
        f.reset();
        nTotal = 4;
        f.responder = [&nTotal](const FakeRequest& r) {
            const int nEntry = (r.payload[3] << 8) | r.payload[4];
            if (nEntry == 3) {
                FakeLib::get().queueReply(0, {0x02}, 22);
                return;
            }
            FakeLib::get().queueReply(0, cat({{0x02, 0, 0}, be16(nTotal), be16(nEntry), be16(50 + nEntry)}));
        };
        int colIdx[8] = {}, colVal[8] = {};
        QVERIFY(!readBadColumnTable(link(), 8, colIdx, colVal, &nCount));
        QCOMPARE(nCount, 4);
        QCOMPARE(colVal[1], 52);
        QCOMPARE(payloadOf(f.sent()[0]), cat({{0x02, 0xFB, 0x01}, be16(1)}));

        // An empty table answers entry 1 with count 0 and no entry number.
        f.reset();
        f.responder = answerWith({0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
        QVERIFY(readBadColumnTable(link(), 8, colIdx, colVal, &nCount));
        QCOMPARE(nCount, 0);

        // Entry 1 failing gives count 0; a reply too short to hold an entry is a failed read.
        f.reset();
        QVERIFY(!readBadColumnTable(link(), 8, colIdx, colVal, &nCount));
        QCOMPARE(nCount, 0);
        f.reset();
        f.responder = answerWith({0, 1});
        QVERIFY(!readBadColumnTable(link(), 8, colIdx, colVal, &nCount));
        QCOMPARE(f.sent().size(), size_t(3));

        // Cancelled waits fail at once, sending nothing.
        f.reset();
        link().cancelWaits(true);
        QVERIFY(!readBadColumnTable(link(), 8, colIdx, colVal, &nCount));
        link().cancelWaits(false);
        QCOMPARE(f.sent().size(), size_t(0));
    }

    void settingsAreEncoded()
    {
        FakeLib& f = FakeLib::get();
        f.responder = answerWith({});

        // Sharpness is sent as the offset from 20, wrapped into a byte.
        QVERIFY(setSharpness(link(), 20));
        QVERIFY(setSharpness(link(), 19));
        QVERIFY(setSharpness(link(), 80));
        QCOMPARE(f.sent()[0].nCode, uint8_t(0xE3));
        QCOMPARE(payloadOf(f.sent()[0]), Bytes({0, 0}));
        QCOMPARE(payloadOf(f.sent()[1]), Bytes({0, 255}));
        QCOMPARE(payloadOf(f.sent()[2]), Bytes({0, 60}));

        QVERIFY(setGainMode(link(), 2));
        QCOMPARE(f.sent().back().nCode, uint8_t(0x0A));
        QCOMPARE(payloadOf(f.sent().back()), Bytes({0, 2}));
        QVERIFY(setAutoGain(link(), 1));
        QCOMPARE(payloadOf(f.sent().back()), Bytes({0x8E, 0x04, 1}));
        QVERIFY(setColorization(link(), 0x0102));
        QCOMPARE(payloadOf(f.sent().back()), Bytes({1, 2}));
        QVERIFY(sendWorkMode(link(), 5));
        QCOMPARE(payloadOf(f.sent().back()), Bytes({0x0D, 0, 5}));
        QVERIFY(restartDevice(link(), true));
        QCOMPARE(f.sent().back().nCode, uint8_t(0x02));
        QCOMPARE(payloadOf(f.sent().back()), Bytes({0}));
        QVERIFY(sendUsbModeSwitch(link()));
        QCOMPARE(payloadOf(f.sent().back()), Bytes({0x72, 0x12}));

        // Device super-resolution only when the camera offers it.
        const size_t nBefore = f.sent().size();
        QVERIFY(!setDeviceSuperResMode(link(), 1));
        QCOMPARE(f.sent().size(), nBefore);
        link().szCapability[8] = 1;
        QVERIFY(setDeviceSuperResMode(link(), 1));
        QCOMPARE(payloadOf(f.sent().back()), Bytes({0x17, 1}));

        // Commands meant for a running camera send nothing while disconnected.
        link().bStreaming = false;
        const size_t nOffline = f.sent().size();
        QVERIFY(!setSharpness(link(), 50));
        QVERIFY(!sendWorkMode(link(), 4));
        QVERIFY(querySerialNumberText(link()).isEmpty());
        QVERIFY(queryPartNumberText(link()).isEmpty());
        QVERIFY(querySoftwareVersionText(link()).isEmpty());
        QCOMPARE(f.sent().size(), nOffline);
    }

    void lowTemperatureGearRules()
    {
        FakeLib& f = FakeLib::get();
        uint32_t nCurrentGear = 1;
        uint8_t nCurrentAuto = 0;
        f.responder = [&](const FakeRequest& r) {
            if (r.subCommand() == 0x97)
                FakeLib::get().queueReply(0x50, {0x97, 0, 0, static_cast<uint8_t>(nCurrentGear), 0, 0,
                                                 static_cast<uint8_t>(nCurrentGear >> 24), nCurrentAuto});
            else
                FakeLib::get().queueReply(r.nCode, {r.payload[0]});
        };
        int nAuto = -1, nGear = -1;

        // Without capability byte 13 neither operation sends anything.
        QVERIFY(!getLowTempTwoGear(link(), &nAuto, &nGear));
        QVERIFY(!setLowTempTwoGear(link(), 1, 1));
        QCOMPARE(f.sent().size(), size_t(0));

        link().szCapability[13] = 1;
        QVERIFY(!setLowTempTwoGear(link(), 1, 3));
        QVERIFY(!setLowTempTwoGear(link(), 2, 0));
        QCOMPARE(f.sent().size(), size_t(0));

        QVERIFY(getLowTempTwoGear(link(), &nAuto, &nGear));
        QCOMPARE(nGear, 1);
        QCOMPARE(nAuto, 0);
        QCOMPARE(payloadOf(f.sent().back()), Bytes({0x97, 0x04}));

        // A manual gear is sent as asked: 34 bytes, gear u32 LE, auto, 1, zeros.
        f.reset();
        f.responder = [&](const FakeRequest& r) { FakeLib::get().queueReply(r.nCode, {r.payload[0]}); };
        QVERIFY(setLowTempTwoGear(link(), 1, 0));
        QCOMPARE(f.sent().size(), size_t(1));
        Bytes expect = {0x96, 0x04, 0, 0, 0, 0, 1, 1};
        expect.resize(34, 0);
        QCOMPARE(payloadOf(f.sent()[0]), expect);

        // Auto off, or gear 2, keeps the camera's current gear (0 when it cannot be read).
        f.reset();
        nCurrentGear = 1;
        f.responder = [&](const FakeRequest& r) {
            if (r.subCommand() == 0x97)
                FakeLib::get().queueReply(0x50, {0x97, 0, 0, static_cast<uint8_t>(nCurrentGear), 0, 0, 0, 1});
            else
                FakeLib::get().queueReply(r.nCode, {r.payload[0]});
        };
        QVERIFY(setLowTempTwoGear(link(), 0, 0));
        QCOMPARE(f.sent().size(), size_t(2));
        QCOMPARE(f.sent()[1].payload[2], uint8_t(1));
        QCOMPARE(f.sent()[1].payload[6], uint8_t(0));
        f.reset();
        nCurrentGear = 7;   // not a gear: the read fails, gear 0 is sent
        f.responder = [&](const FakeRequest& r) {
            if (r.subCommand() == 0x97)
                FakeLib::get().queueReply(0x50, {0x97, 0, 0, static_cast<uint8_t>(nCurrentGear), 0, 0, 0, 1});
            else
                FakeLib::get().queueReply(r.nCode, {r.payload[0]});
        };
        QVERIFY(setLowTempTwoGear(link(), 1, 2));
        QCOMPARE(f.sent().back().payload[2], uint8_t(0));
        QCOMPARE(f.sent().back().payload[6], uint8_t(1));
        QVERIFY(!getLowTempTwoGear(link(), &nAuto, &nGear));
    }

    void identityQueries()
    {
        FakeLib& f = FakeLib::get();
        FakeCamera cam;
        f.responder = cam;

        char part[32];
        QVERIFY(queryPartNumber(link(), part));
        QCOMPARE(QByteArray(part), QByteArray("KRM2560101A1RT1"));
        QCOMPARE(link().bRModel, 1);
        QCOMPARE(queryPartNumberText(link()), QString("KRM2560101A1RT1"));

        f.reset();
        cam.part = "KRM2560101A1XT";   // 14 characters
        f.responder = cam;
        QVERIFY(!queryPartNumber(link(), part));

        // Capability block: copied only behind the marker bytes 0, 1.
        f.reset();
        cam.capability[8] = 1;
        cam.capability[13] = 2;
        f.responder = cam;
        link().szCapability[0] = 9;
        QVERIFY(queryCapability(link()));
        QCOMPARE(link().szCapability[0], uint8_t(0));
        QCOMPARE(link().szCapability[8], uint8_t(1));
        QCOMPARE(link().szCapability[13], uint8_t(2));
        f.reset();
        f.responder = answerWith({0, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1});
        QVERIFY(queryCapability(link()));
        QCOMPARE(link().szCapability[8], uint8_t(0));

        // The stream format wants exactly 65 bytes.
        uint8_t fmt[64];
        f.reset();
        f.responder = cam;
        QVERIFY(queryStreamFormat(link(), fmt));
        QCOMPARE(parseStreamFormat(fmt).nImageHeight, 192);
        f.reset();
        f.responder = answerWith(Bytes(63, 0));
        QVERIFY(!queryStreamFormat(link(), fmt));
        f.reset();
        f.responder = answerWith(Bytes(65, 0));
        QVERIFY(!queryStreamFormat(link(), fmt));

        // Software version: 32 bytes as Latin-1, zero bytes kept; shorter replies fail.
        f.reset();
        Bytes ver = {'V', '1', 0, 0xE9};
        ver.resize(40, 'x');
        f.responder = [ver](const FakeRequest& r) { FakeLib::get().queueReply(r.nCode, ver); };
        const QString text = querySoftwareVersionText(link());
        QCOMPARE(text.size(), 32);
        QCOMPARE(text.at(2), QChar(0));
        QCOMPARE(text.at(3), QChar(0xE9));
        f.reset();
        f.responder = [](const FakeRequest& r) { FakeLib::get().queueReply(r.nCode, Bytes(31, 'v')); };
        QVERIFY(querySoftwareVersionText(link()).isEmpty());

        // Serial number: up to the first zero byte, as UTF-8.
        f.reset();
        f.responder = [](const FakeRequest& r) {
            FakeLib::get().queueReply(r.nCode, {'S', 'N', 0xC3, 0xA9, '1', 0, 'z', 'z'});
        };
        QCOMPARE(querySerialNumberText(link()), QString::fromUtf8("SN\xC3\xA9" "1"));
    }

    void resolutionTextFollowsThePartNumber()
    {
        QCOMPARE(resolutionTextFromPartNumber("KRM2560101A1RT1"), QString("256x192"));
        QCOMPARE(resolutionTextFromPartNumber("KRM2560303C3RT3"), QString("256x192"));
        QCOMPARE(resolutionTextFromPartNumber("KRM6400101A1RT1"), QString("640x512"));
        QCOMPARE(resolutionTextFromPartNumber("KRM1200101A1RT1"), QString("120x90"));
        QCOMPARE(resolutionTextFromPartNumber("KRM5000404D4PT4"), QString("1280x1024"));
        QCOMPARE(resolutionTextFromPartNumber("KRM5000404D4PT5"), QString());   // width 500 names no size
        QCOMPARE(resolutionTextFromPartNumber("KRMX560101A1RT1"), QString());
        QCOMPARE(resolutionTextFromPartNumber("KRN2560101A1RT1"), QString());
        QCOMPARE(resolutionTextFromPartNumber("krm2560101A1RT1"), QString());
        QCOMPARE(resolutionTextFromPartNumber("KRM25"), QString());
        QCOMPARE(resolutionTextFromPartNumber(QString()), QString());
    }

    void transactionsFromSeveralThreadsDoNotInterleave()
    {
        // Each thread sends its own command and must read its own reply. Without the
        // channel lock one thread's receive picks up the other's reply.
        FakeLib& f = FakeLib::get();
        f.bYieldInRecv = true;
        f.responder = answerWith({0x11, 0x22});
        std::atomic<int> nFailures{0};
        auto worker = [&nFailures](uint8_t nCode) {
            for (int i = 0; i < 300; ++i) {
                uint8_t reply[16];
                int nLen = 0;
                uint8_t nStatus = 0;
                if (!exchangeCommand(link(), nCode, nullptr, 0, &nStatus, reply, sizeof(reply), &nLen, 100) ||
                    nLen != 2 || reply[0] != 0x11)
                    ++nFailures;
            }
        };
        std::thread a(worker, uint8_t(0x04));
        std::thread b(worker, uint8_t(0x05));
        std::thread c(worker, uint8_t(0x66));
        a.join();
        b.join();
        c.join();
        QCOMPARE(nFailures.load(), 0);
    }
};

QTEST_MAIN(TestDeviceCommands)
#include "test_device_commands.moc"
