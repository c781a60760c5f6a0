#include "support/MediaProbe.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/imgutils.h>
#include <libavutil/parseutils.h>
#include <libswscale/swscale.h>
}

namespace TestSupport {

namespace {

QString avErrorText(int nErr)
{
    char sz[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(nErr, sz, sizeof(sz));
    return QString::fromLocal8Bit(sz);
}

class Decoder
{
public:
    Decoder(MediaInfo& info, const FrameVisitor& fnFrame, const PlaneVisitor& fnPlanes)
        : m_info(info), m_fnFrame(fnFrame), m_fnPlanes(fnPlanes)
    {
    }
    ~Decoder()
    {
        sws_freeContext(m_pSws);
        av_frame_free(&m_pFrame);
        av_packet_free(&m_pPacket);
        avcodec_free_context(&m_pCtx);
        avformat_close_input(&m_pFmt);
    }

    void run(const QString& qStrPath)
    {
        int nRet = avformat_open_input(&m_pFmt, qStrPath.toLocal8Bit().constData(), nullptr, nullptr);
        if (nRet < 0) {
            m_info.qStrError = "open: " + avErrorText(nRet);
            return;
        }
        nRet = avformat_find_stream_info(m_pFmt, nullptr);
        if (nRet < 0) {
            m_info.qStrError = "stream info: " + avErrorText(nRet);
            return;
        }
        const AVCodec* pCodec = nullptr;
        m_nStream = av_find_best_stream(m_pFmt, AVMEDIA_TYPE_VIDEO, -1, -1, &pCodec, 0);
        if (m_nStream < 0 || !pCodec) {
            m_info.qStrError = "no video track";
            return;
        }
        AVStream* pStream = m_pFmt->streams[m_nStream];
        m_tb = pStream->time_base;
        m_info.qStrFormat = QString::fromLatin1(m_pFmt->iformat->name);
        m_info.qStrCodec = QString::fromLatin1(avcodec_get_name(pStream->codecpar->codec_id));
        m_info.nWidth = pStream->codecpar->width;
        m_info.nHeight = pStream->codecpar->height;
        if (m_pFmt->duration > 0)
            m_info.fDurationSec = m_pFmt->duration / double(AV_TIME_BASE);
        else if (pStream->duration > 0)
            m_info.fDurationSec = pStream->duration * av_q2d(m_tb);
        if (const AVDictionaryEntry* pEntry = av_dict_get(m_pFmt->metadata, "creation_time", nullptr, 0)) {
            int64_t nMicros = 0;
            if (av_parse_time(&nMicros, pEntry->value, 0) == 0)
                m_info.nCreationTime = nMicros / 1000000;
        }

        m_pCtx = avcodec_alloc_context3(pCodec);
        m_pFrame = av_frame_alloc();
        m_pPacket = av_packet_alloc();
        if (!m_pCtx || !m_pFrame || !m_pPacket) {
            m_info.qStrError = "out of memory";
            return;
        }
        avcodec_parameters_to_context(m_pCtx, pStream->codecpar);
        m_pCtx->thread_count = 1;
        nRet = avcodec_open2(m_pCtx, pCodec, nullptr);
        if (nRet < 0) {
            m_info.qStrError = "decoder: " + avErrorText(nRet);
            return;
        }
        m_info.bOpened = true;

        while ((nRet = av_read_frame(m_pFmt, m_pPacket)) >= 0) {
            if (m_pPacket->stream_index == m_nStream)
                send(m_pPacket);
            av_packet_unref(m_pPacket);
        }
        send(nullptr);
    }

private:
    void send(const AVPacket* pPacket)
    {
        const int nRet = avcodec_send_packet(m_pCtx, pPacket);
        if (nRet < 0 && nRet != AVERROR_EOF) {
            noteError("send: " + avErrorText(nRet));
            if (nRet != AVERROR(EAGAIN))
                return;
        }
        receive();
    }

    void receive()
    {
        for (;;) {
            const int nRet = avcodec_receive_frame(m_pCtx, m_pFrame);
            if (nRet == AVERROR(EAGAIN) || nRet == AVERROR_EOF)
                return;
            if (nRet < 0) {
                noteError("decode: " + avErrorText(nRet));
                return;
            }
            if (m_pFrame->decode_error_flags || (m_pFrame->flags & AV_FRAME_FLAG_CORRUPT))
                noteError("corrupt frame");
            visit();
            av_frame_unref(m_pFrame);
        }
    }

    void visit()
    {
        int64_t nPts = m_pFrame->best_effort_timestamp;
        if (nPts == AV_NOPTS_VALUE)
            nPts = m_nLastPts == AV_NOPTS_VALUE ? 0 : m_nLastPts + 1;
        if (m_nFirstPts == AV_NOPTS_VALUE)
            m_nFirstPts = nPts;
        const double fPts = (nPts - m_nFirstPts) * av_q2d(m_tb);
        double fDuration = m_pFrame->pkt_duration > 0 ? m_pFrame->pkt_duration * av_q2d(m_tb) : 0;
        if (fDuration <= 0 && !m_info.vecPtsSec.isEmpty())
            fDuration = fPts - m_info.vecPtsSec.last();
        m_nLastPts = nPts;

        const int nIndex = m_info.nFrameCount++;
        m_info.vecPtsSec.append(fPts);
        m_info.fEndSec = fPts + qMax(0.0, fDuration);

        const int w = m_pFrame->width;
        const int h = m_pFrame->height;
        const auto eFmt = static_cast<AVPixelFormat>(m_pFrame->format);
        if (m_fnPlanes && (eFmt == AV_PIX_FMT_YUV420P || eFmt == AV_PIX_FMT_YUVJ420P)) {
            const cv::Mat matY(h, w, CV_8UC1, m_pFrame->data[0], m_pFrame->linesize[0]);
            const cv::Mat matU(h / 2, w / 2, CV_8UC1, m_pFrame->data[1], m_pFrame->linesize[1]);
            const cv::Mat matV(h / 2, w / 2, CV_8UC1, m_pFrame->data[2], m_pFrame->linesize[2]);
            m_fnPlanes(nIndex, matY, matU, matV);
        }
        if (m_fnFrame) {
            m_pSws = sws_getCachedContext(m_pSws, w, h, eFmt, w, h, AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr,
                                          nullptr, nullptr);
            if (!m_pSws) {
                noteError("no BGR conversion");
                return;
            }
            cv::Mat matBgr(h, w, CV_8UC3);
            uint8_t* pDst[4] = {matBgr.data, nullptr, nullptr, nullptr};
            int nDstStride[4] = {static_cast<int>(matBgr.step), 0, 0, 0};
            sws_scale(m_pSws, m_pFrame->data, m_pFrame->linesize, 0, h, pDst, nDstStride);
            m_fnFrame(nIndex, fPts, matBgr);
        }
    }

    void noteError(const QString& qStrError)
    {
        ++m_info.nDecodeErrors;
        if (m_info.qStrError.isEmpty())
            m_info.qStrError = qStrError;
    }

    MediaInfo& m_info;
    const FrameVisitor& m_fnFrame;
    const PlaneVisitor& m_fnPlanes;
    AVFormatContext* m_pFmt = nullptr;
    AVCodecContext* m_pCtx = nullptr;
    AVFrame* m_pFrame = nullptr;
    AVPacket* m_pPacket = nullptr;
    SwsContext* m_pSws = nullptr;
    int m_nStream = -1;
    AVRational m_tb{1, 1};
    int64_t m_nFirstPts = AV_NOPTS_VALUE;
    int64_t m_nLastPts = AV_NOPTS_VALUE;
};

} // namespace

MediaInfo probeMedia(const QString& qStrPath, const FrameVisitor& fnFrame, const PlaneVisitor& fnPlanes)
{
    MediaInfo info;
    Decoder(info, fnFrame, fnPlanes).run(qStrPath);
    return info;
}

} // namespace TestSupport
