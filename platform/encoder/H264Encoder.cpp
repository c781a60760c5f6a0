#include "platform/encoder/H264Encoder.h"
#include "platform/encoder/AvSupport.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/opt.h>
}

#include <QString>

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace {

// x264 settings: single-threaded and zero-latency, so the engine thread gets its unit back
// from the same call and never waits on worker threads. crf 18 keeps the fine gradations of
// measurement pictures (about 44 dB luma PSNR on noisy thermal pictures). ultrafast costs
// about 1.5 ms of CPU per 512x384 picture against 5 ms for superfast and 6.5 ms for
// veryfast at the same quality, which only cost fewer bits; recording must stay within a
// few milliseconds per frame on the engine thread.
constexpr const char* kPreset = "ultrafast";
constexpr const char* kTune = "zerolatency";
constexpr int kCrf = 18;
constexpr int kMaxSide = 8192;

struct Encoder
{
    std::mutex mutex;
    AVCodecContext* pCtx = nullptr;
    AVFrame* pFrame = nullptr;
    AVPacket* pPacket = nullptr;
    std::vector<unsigned char> vecOut;  // last unit handed out
    int nWidth = 0;
    int nHeight = 0;
    int64_t nPts = 0;

    ~Encoder()
    {
        av_packet_free(&pPacket);
        av_frame_free(&pFrame);
        avcodec_free_context(&pCtx);
    }
};

// Handles are small numbers rather than addresses, so a stale or repeated Close can never
// reach an encoder opened later at the same address.
std::mutex g_registryMutex;
std::map<uintptr_t, std::shared_ptr<Encoder>> g_encoders;
uintptr_t g_nNextHandle = 1;

std::shared_ptr<Encoder> findEncoder(void* hEncoder)
{
    std::lock_guard<std::mutex> lock(g_registryMutex);
    auto it = g_encoders.find(reinterpret_cast<uintptr_t>(hEncoder));
    return it == g_encoders.end() ? nullptr : it->second;
}

bool isSaneSide(int n) { return n > 0 && n <= kMaxSide && n % 2 == 0; }

} // namespace

int MAV_P264_Enc_Open(void* pParamBlock, void** phEncoder)
{
    if (!pParamBlock || !phEncoder)
        return kMavEncBadArgument;
    MavEncParam stParam;
    std::memcpy(&stParam, pParamBlock, sizeof(stParam));
    // I420 needs even sides: the chroma planes are a quarter of the luma plane each.
    if (!isSaneSide(stParam.nWidth) || !isSaneSide(stParam.nHeight))
        return kMavEncBadParam;

    quietAvLog();
    const int nFps = (stParam.nFrameRate > 0 && stParam.nFrameRate <= 240) ? stParam.nFrameRate : 25;
    const int nGop = (stParam.nKeyInterval > 0 && stParam.nKeyInterval <= 100000) ? stParam.nKeyInterval : 50;

    const AVCodec* pCodec = avcodec_find_encoder_by_name("libx264");
    if (!pCodec) {
        qWarning("H.264 encoder libx264 is not available");
        return kMavEncFailed;
    }

    auto pEnc = std::make_shared<Encoder>();
    pEnc->nWidth = stParam.nWidth;
    pEnc->nHeight = stParam.nHeight;
    pEnc->pCtx = avcodec_alloc_context3(pCodec);
    pEnc->pFrame = av_frame_alloc();
    pEnc->pPacket = av_packet_alloc();
    if (!pEnc->pCtx || !pEnc->pFrame || !pEnc->pPacket)
        return kMavEncFailed;

    AVCodecContext* pCtx = pEnc->pCtx;
    pCtx->width = stParam.nWidth;
    pCtx->height = stParam.nHeight;
    pCtx->pix_fmt = AV_PIX_FMT_YUV420P;
    pCtx->time_base = AVRational{1, nFps};
    pCtx->framerate = AVRational{nFps, 1};
    pCtx->gop_size = nGop;
    pCtx->keyint_min = nGop;
    pCtx->max_b_frames = 0;
    pCtx->thread_count = 1;
    // Pictures come from the image library's BGR to I420 conversion: BT.601, limited range.
    pCtx->color_range = AVCOL_RANGE_MPEG;
    pCtx->colorspace = AVCOL_SPC_SMPTE170M;
    pCtx->color_primaries = AVCOL_PRI_SMPTE170M;
    pCtx->color_trc = AVCOL_TRC_SMPTE170M;
    // No global header: SPS and PPS then travel in-band before every key frame, which the
    // MP4 writer and any reader of a cut-off file rely on.
    av_opt_set(pCtx->priv_data, "preset", kPreset, 0);
    av_opt_set(pCtx->priv_data, "tune", kTune, 0);
    av_opt_set_double(pCtx->priv_data, "crf", kCrf, 0);
    // Key frames at the fixed interval only, so segments cut predictably.
    av_opt_set(pCtx->priv_data, "x264-params", "scenecut=0:repeat-headers=1", 0);

    const int nRet = avcodec_open2(pCtx, pCodec, nullptr);
    if (nRet < 0) {
        qWarning("H.264 encoder open failed: %s", qPrintable(avErrorText(nRet)));
        return kMavEncFailed;
    }

    AVFrame* pFrame = pEnc->pFrame;
    pFrame->format = AV_PIX_FMT_YUV420P;
    pFrame->width = stParam.nWidth;
    pFrame->height = stParam.nHeight;
    pFrame->color_range = pCtx->color_range;
    pFrame->colorspace = pCtx->colorspace;
    if (av_frame_get_buffer(pFrame, 0) < 0)
        return kMavEncFailed;

    std::lock_guard<std::mutex> lock(g_registryMutex);
    const uintptr_t nHandle = g_nNextHandle++;
    g_encoders.emplace(nHandle, std::move(pEnc));
    *phEncoder = reinterpret_cast<void*>(nHandle);
    return 0;
}

int MAV_P264_Enc_Start(void* hEncoder, void* pPicture, void* pOutput)
{
    if (!pPicture || !pOutput)
        return kMavEncBadArgument;
    std::shared_ptr<Encoder> pEnc = findEncoder(hEncoder);
    if (!pEnc)
        return kMavEncBadArgument;

    MavEncPicture stPic;
    std::memcpy(&stPic, pPicture, sizeof(stPic));
    auto* pOut = static_cast<MavEncOutput*>(pOutput);
    pOut->pData = nullptr;
    pOut->nDataLen = 0;
    pOut->nKeyFrame = 0;
    if (!stPic.pY || !stPic.pU || !stPic.pV)
        return kMavEncBadArgument;

    std::lock_guard<std::mutex> lock(pEnc->mutex);
    // The encoder keeps the size it was opened with. A picture of another width (rotation or
    // super-resolution switched during a recording) is refused: reading it with the opened
    // size could run past the end of a smaller buffer.
    if (stPic.nWidth != pEnc->nWidth)
        return kMavEncBadParam;

    AVFrame* pFrame = pEnc->pFrame;
    if (av_frame_make_writable(pFrame) < 0)
        return kMavEncFailed;
    const int w = pEnc->nWidth;
    const int h = pEnc->nHeight;
    for (int y = 0; y < h; ++y)
        std::memcpy(pFrame->data[0] + y * pFrame->linesize[0], stPic.pY + y * w, w);
    for (int y = 0; y < h / 2; ++y) {
        std::memcpy(pFrame->data[1] + y * pFrame->linesize[1], stPic.pU + y * (w / 2), w / 2);
        std::memcpy(pFrame->data[2] + y * pFrame->linesize[2], stPic.pV + y * (w / 2), w / 2);
    }
    pFrame->pts = pEnc->nPts++;

    int nRet = avcodec_send_frame(pEnc->pCtx, pFrame);
    if (nRet < 0)
        return kMavEncFailed;
    nRet = avcodec_receive_packet(pEnc->pCtx, pEnc->pPacket);
    if (nRet == AVERROR(EAGAIN))
        return kMavEncNoOutput;
    if (nRet < 0)
        return kMavEncFailed;

    AVPacket* pPkt = pEnc->pPacket;
    pEnc->vecOut.assign(pPkt->data, pPkt->data + pPkt->size);
    pOut->nKeyFrame = (pPkt->flags & AV_PKT_FLAG_KEY) ? 1 : 0;
    av_packet_unref(pPkt);
    // Zero-latency settings hand back exactly one unit per picture; anything else queued
    // would only arrive with a later picture, so it is not waited for here.
    pOut->pData = pEnc->vecOut.data();
    pOut->nDataLen = static_cast<int32_t>(pEnc->vecOut.size());
    return 0;
}

void MAV_P264_Enc_Close(void* hEncoder)
{
    // A Start running on another thread holds its own reference, so the encoder goes only
    // when that call is done.
    std::lock_guard<std::mutex> lock(g_registryMutex);
    g_encoders.erase(reinterpret_cast<uintptr_t>(hEncoder));
}
