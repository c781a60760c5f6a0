#include "platform/encoder/StreamConvertor.h"
#include "platform/encoder/AvSupport.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/mathematics.h>
}

#include <QString>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

const AVRational kMicros{1, 1000000};
const AVRational kTrackTimeBase{1, 90000};
constexpr int64_t kDefaultFrameMicros = 40000;  // one frame at 25 fps
// A fragment at every key frame and at least every second bounds what a killed process loses.
constexpr const char* kMovFlags = "frag_keyframe+empty_moov+default_base_moof";
constexpr const char* kFragmentMicros = "1000000";

std::mutex g_clockMutex;
std::function<int64_t()> g_fnClock;

int64_t nowMicros()
{
    std::function<int64_t()> fn;
    {
        std::lock_guard<std::mutex> lock(g_clockMutex);
        fn = g_fnClock;
    }
    if (fn)
        return fn();
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// One NAL unit of an Annex-B buffer: payload without its start code.
struct Nal
{
    const unsigned char* pData;
    int nLen;
    int nType;
};

std::vector<Nal> splitAnnexB(const unsigned char* p, int nLen)
{
    std::vector<Nal> vec;
    int nStart = -1;
    int i = 0;
    while (i + 2 < nLen) {
        if (p[i] == 0 && p[i + 1] == 0 && p[i + 2] == 1) {
            if (nStart >= 0) {
                int nEnd = i;
                while (nEnd > nStart && p[nEnd - 1] == 0)  // trailing zero of a 4-byte start code
                    --nEnd;
                if (nEnd > nStart)
                    vec.push_back({p + nStart, nEnd - nStart, p[nStart] & 0x1f});
            }
            i += 3;
            nStart = i;
        } else {
            ++i;
        }
    }
    if (nStart >= 0 && nStart < nLen)
        vec.push_back({p + nStart, nLen - nStart, p[nStart] & 0x1f});
    return vec;
}

bool pictureSize(const std::vector<unsigned char>& vecAnnexB, int& nWidth, int& nHeight)
{
    AVCodecParserContext* pParser = av_parser_init(AV_CODEC_ID_H264);
    AVCodecContext* pCtx = avcodec_alloc_context3(nullptr);
    bool bOk = false;
    if (pParser && pCtx) {
        pParser->flags |= PARSER_FLAG_COMPLETE_FRAMES;
        std::vector<unsigned char> vecPadded(vecAnnexB);
        vecPadded.resize(vecAnnexB.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
        uint8_t* pOut = nullptr;
        int nOutSize = 0;
        av_parser_parse2(pParser, pCtx, &pOut, &nOutSize, vecPadded.data(), static_cast<int>(vecAnnexB.size()),
                         AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
        nWidth = pParser->width > 0 ? pParser->width : pCtx->width;
        nHeight = pParser->height > 0 ? pParser->height : pCtx->height;
        bOk = nWidth > 0 && nHeight > 0;
    }
    avcodec_free_context(&pCtx);
    if (pParser)
        av_parser_close(pParser);
    return bOk;
}

struct Muxer
{
    std::mutex mutex;
    std::string strPath;
    AVFormatContext* pFmt = nullptr;
    AVStream* pStream = nullptr;
    AVPacket* pHeld = nullptr;  // newest unit; written once the next one tells its duration
    bool bHeld = false;
    bool bHeaderWritten = false;
    bool bFinished = false;
    bool bFailed = false;
    int nError = 0;  // first failure, as a libav error
    uint32_t nBaseTime = 0;
    int64_t nFirstMicros = 0;
    int64_t nUnits = 0;

    ~Muxer()
    {
        finish();
        av_packet_free(&pHeld);
    }

    void fail(const char* pszWhat, int nErr)
    {
        if (!bFailed) {
            qWarning("MP4 writer: %s failed for %s: %s", pszWhat, strPath.c_str(), qPrintable(avErrorText(nErr)));
            nError = nErr < 0 ? nErr : AVERROR_UNKNOWN;
        }
        bFailed = true;
    }

    bool writeHeader(const unsigned char* pUnit, int nUnitLen, const std::vector<Nal>& vecNals)
    {
        std::vector<unsigned char> vecExtra;
        for (const Nal& nal : vecNals) {
            if (nal.nType == 7 || nal.nType == 8) {
                static const unsigned char kStart[4] = {0, 0, 0, 1};
                vecExtra.insert(vecExtra.end(), kStart, kStart + 4);
                vecExtra.insert(vecExtra.end(), nal.pData, nal.pData + nal.nLen);
            }
        }
        int nWidth = 0, nHeight = 0;
        // The parser reports the size only once it has seen a picture that uses the headers.
        if (!pictureSize(std::vector<unsigned char>(pUnit, pUnit + nUnitLen), nWidth, nHeight)) {
            fail("reading the picture size", AVERROR_INVALIDDATA);
            return false;
        }
        pStream = avformat_new_stream(pFmt, nullptr);
        if (!pStream) {
            fail("adding the video track", AVERROR(ENOMEM));
            return false;
        }
        AVCodecParameters* pPar = pStream->codecpar;
        pPar->codec_type = AVMEDIA_TYPE_VIDEO;
        pPar->codec_id = AV_CODEC_ID_H264;
        pPar->width = nWidth;
        pPar->height = nHeight;
        pPar->extradata = static_cast<uint8_t*>(av_mallocz(vecExtra.size() + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!pPar->extradata) {
            fail("adding the video track", AVERROR(ENOMEM));
            return false;
        }
        std::memcpy(pPar->extradata, vecExtra.data(), vecExtra.size());
        pPar->extradata_size = static_cast<int>(vecExtra.size());
        pStream->time_base = kTrackTimeBase;

        char szTime[40] = {};
        const time_t tBase = static_cast<time_t>(nBaseTime);
        struct tm stTm = {};
        gmtime_r(&tBase, &stTm);
        std::strftime(szTime, sizeof(szTime), "%Y-%m-%dT%H:%M:%S.000000Z", &stTm);
        av_dict_set(&pFmt->metadata, "creation_time", szTime, 0);

        AVDictionary* pOpts = nullptr;
        av_dict_set(&pOpts, "movflags", kMovFlags, 0);
        av_dict_set(&pOpts, "frag_duration", kFragmentMicros, 0);
        const int nRet = avformat_write_header(pFmt, &pOpts);
        av_dict_free(&pOpts);
        if (nRet < 0) {
            fail("writing the header", nRet);
            return false;
        }
        bHeaderWritten = true;
        avio_flush(pFmt->pb);
        return true;
    }

    void writeHeld(int64_t nDuration)
    {
        if (!bHeld)
            return;
        bHeld = false;
        pHeld->duration = nDuration > 0 ? nDuration : 1;
        const int nRet = av_write_frame(pFmt, pHeld);
        av_packet_unref(pHeld);
        if (nRet < 0) {
            fail("writing a frame", nRet);
            return;
        }
        // Hand each finished fragment to the system at once: a process killed later still
        // leaves it in the file.
        avio_flush(pFmt->pb);
        // The I/O layer keeps a failed system write (a full disk) to itself; without this
        // check the muxer would go on as if the pictures had been stored.
        if (pFmt->pb->error < 0)
            fail("writing a frame", pFmt->pb->error);
    }

    void write(const unsigned char* pData, int nLen)
    {
        if (bFinished || bFailed)
            return;
        const int64_t nNow = nowMicros();
        const std::vector<Nal> vecNals = splitAnnexB(pData, nLen);
        bool bKey = false, bSps = false, bPps = false, bPicture = false;
        for (const Nal& nal : vecNals) {
            bKey |= nal.nType == 5;
            bSps |= nal.nType == 7;
            bPps |= nal.nType == 8;
            bPicture |= nal.nType >= 1 && nal.nType <= 5;
        }
        if (!bPicture)
            return;
        if (!bHeaderWritten) {
            // Nothing before the first key frame can be decoded.
            if (!(bKey && bSps && bPps))
                return;
            if (!writeHeader(pData, nLen, vecNals))
                return;
            nFirstMicros = nNow;
        }

        const AVRational tb = pStream->time_base;
        int64_t nDts = av_rescale_q(nNow - nFirstMicros, kMicros, tb);
        // A clock that stands still or steps back must not make the track's times go back.
        if (bHeld && nDts <= pHeld->dts)
            nDts = pHeld->dts + 1;
        if (nDts < 0)
            nDts = 0;
        if (bHeld)
            writeHeld(nDts - pHeld->dts);
        if (bFailed)
            return;

        if (av_new_packet(pHeld, nLen) < 0) {
            fail("buffering a frame", AVERROR(ENOMEM));
            return;
        }
        std::memcpy(pHeld->data, pData, nLen);
        pHeld->pts = pHeld->dts = nDts;
        pHeld->stream_index = pStream->index;
        pHeld->flags = bKey ? AV_PKT_FLAG_KEY : 0;
        pHeld->pos = -1;
        bHeld = true;
        ++nUnits;
    }

    void finish()
    {
        if (bFinished)
            return;
        bFinished = true;
        if (!pFmt)
            return;
        if (bHeaderWritten) {
            if (bHeld) {
                // The last picture lasts as long as an average one did.
                int64_t nDuration = av_rescale_q(kDefaultFrameMicros, kMicros, pStream->time_base);
                if (nUnits > 1)
                    nDuration = pHeld->dts / (nUnits - 1);
                if (!bFailed)
                    writeHeld(nDuration);
                else
                    av_packet_unref(pHeld);
                bHeld = false;
            }
            if (!bFailed) {
                const int nRet = av_write_trailer(pFmt);
                if (nRet < 0)
                    fail("finishing the file", nRet);
            }
        }
        avio_closep(&pFmt->pb);
        if (!bHeaderWritten) {
            // Not a single picture arrived: an empty file would only look like a broken
            // recording.
            std::remove(strPath.c_str());
        }
        avformat_free_context(pFmt);
        pFmt = nullptr;
        pStream = nullptr;
    }
};

std::mutex g_registryMutex;
std::map<uintptr_t, std::shared_ptr<Muxer>> g_muxers;
uintptr_t g_nNextHandle = 1;

std::shared_ptr<Muxer> findMuxer(void* hMuxer)
{
    std::lock_guard<std::mutex> lock(g_registryMutex);
    auto it = g_muxers.find(reinterpret_cast<uintptr_t>(hMuxer));
    return it == g_muxers.end() ? nullptr : it->second;
}

bool scInit() { return true; }

int scOpenFile(int nKind, const char* pPath, int nPathLen, void** phMuxer)
{
    if (!pPath || nPathLen <= 0 || !phMuxer)
        return kStreamConvBadArgument;
    if (nKind != kStreamConvKindMp4)
        return kStreamConvBadKind;
    const std::string strPath(pPath, strnlen(pPath, static_cast<size_t>(nPathLen)));
    if (strPath.empty())
        return kStreamConvBadArgument;

    quietAvLog();
    auto pMux = std::make_shared<Muxer>();
    pMux->strPath = strPath;
    pMux->nBaseTime = static_cast<uint32_t>(std::time(nullptr));
    pMux->pHeld = av_packet_alloc();
    if (!pMux->pHeld || avformat_alloc_output_context2(&pMux->pFmt, nullptr, "mp4", nullptr) < 0 || !pMux->pFmt)
        return kStreamConvOpenFailed;
    // "file:" keeps a colon in the path from being read as a protocol name.
    const int nRet = avio_open(&pMux->pFmt->pb, ("file:" + strPath).c_str(), AVIO_FLAG_WRITE);
    if (nRet < 0) {
        qWarning("MP4 writer: cannot create %s: %s", strPath.c_str(), qPrintable(avErrorText(nRet)));
        pMux->bFinished = true;
        avformat_free_context(pMux->pFmt);
        pMux->pFmt = nullptr;
        return kStreamConvOpenFailed;
    }

    std::lock_guard<std::mutex> lock(g_registryMutex);
    const uintptr_t nHandle = g_nNextHandle++;
    g_muxers.emplace(nHandle, std::move(pMux));
    *phMuxer = reinterpret_cast<void*>(nHandle);
    return 0;
}

void scSetIntOption(void* hMuxer, const char* pName, int nValue)
{
    std::shared_ptr<Muxer> pMux = findMuxer(hMuxer);
    if (!pMux || !pName)
        return;
    std::lock_guard<std::mutex> lock(pMux->mutex);
    // The creation time goes into the header, which is written with the first key frame.
    if (std::strcmp(pName, "mp4_base_time") == 0 && !pMux->bHeaderWritten)
        pMux->nBaseTime = static_cast<uint32_t>(nValue);  // unsigned: stays right after 2038
}

void scWriteData(void* hMuxer, const unsigned char* pData, int nLen)
{
    if (!pData || nLen <= 0)
        return;
    std::shared_ptr<Muxer> pMux = findMuxer(hMuxer);
    if (!pMux)
        return;
    std::lock_guard<std::mutex> lock(pMux->mutex);
    pMux->write(pData, nLen);
}

void scFinish(void* hMuxer)
{
    std::shared_ptr<Muxer> pMux = findMuxer(hMuxer);
    if (!pMux)
        return;
    std::lock_guard<std::mutex> lock(pMux->mutex);
    pMux->finish();
}

void scClose(void* hMuxer)
{
    std::shared_ptr<Muxer> pMux;
    {
        std::lock_guard<std::mutex> lock(g_registryMutex);
        auto it = g_muxers.find(reinterpret_cast<uintptr_t>(hMuxer));
        if (it == g_muxers.end())
            return;
        pMux = std::move(it->second);
        g_muxers.erase(it);
    }
    // A file closed without Finish still gets its index.
    std::lock_guard<std::mutex> lock(pMux->mutex);
    pMux->finish();
}

void scRelease() {}

const StreamConvertorApi kApi{scInit, scOpenFile, scSetIntOption, scWriteData, scFinish, scClose, scRelease};

} // namespace

const StreamConvertorApi& streamConvertor() { return kApi; }

int streamConvertorLastError(void* hMuxer)
{
    std::shared_ptr<Muxer> pMux = findMuxer(hMuxer);
    if (!pMux)
        return 0;
    std::lock_guard<std::mutex> lock(pMux->mutex);
    return pMux->nError;
}

void setStreamConvertorClock(std::function<int64_t()> fnMicros)
{
    std::lock_guard<std::mutex> lock(g_clockMutex);
    g_fnClock = std::move(fnMicros);
}
