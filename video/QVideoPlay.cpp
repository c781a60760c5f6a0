#include "video/QVideoPlay.h"

#include "app/AppFlags.h"
#include "device/UsbCameraLink.h"
#include "measure/BurnIn.h"
#include "video/ImageOps.h"
#include "video/Palette.h"
#include "video/SuperResolution.h"
#include "video/ThermImageContext.h"
#include "video/ThermalTrailer.h"
#include "video/UpscaleStage.h"
#include "video/VideoGlobals.h"

#include <QDebug>
#include <QFile>
#include <QImage>
#include <QMetaMethod>
#include <QMutexLocker>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstring>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>

namespace {

constexpr int kLookupIronRed = 0;
constexpr int kLookupBlackHot = 1;
constexpr int kLookupRainbow = 2;

// Receivers on other threads copy a handed-out frame a little later; this many copies rotate,
// so a copy is rewritten only several frames after it was handed out.
constexpr size_t kHandoutRing = 4;
// Handed-out copies are never smaller than a doubled 512 x 384 frame, so a receiver that
// reads with a newer, larger frame size still stays inside the copy it was given.
constexpr size_t kMinHandoutBytes = size_t(8) * 512 * 384;

// Every palette but WhiteHot (which keeps the camera's own grey) has its Y, U and V tables
// in m_pLookup, at its id.
int lookupSlot(int nPaletteId)
{
    return Palette::isValid(nPaletteId) && nPaletteId != Palette::kWhiteHot ? nPaletteId : -1;
}

} // namespace

QVideoPlay::QVideoPlay(QObject* parent) : QObject(parent)
{
    qRegisterMetaType<unsigned char*>("unsigned char*");
    qRegisterMetaType<ThermHotPointParam>("ThermHotPointParam");

    std::memcpy(m_PaletteTables[kLookupIronRed], Palette::table(Palette::kIronRed), sizeof(m_PaletteTables[0]));
    std::memcpy(m_PaletteTables[kLookupBlackHot], Palette::table(Palette::kBlackHot), sizeof(m_PaletteTables[0]));
    std::memcpy(m_PaletteTables[kLookupRainbow], Palette::table(Palette::kRainbow), sizeof(m_PaletteTables[0]));

    {
        const UpscaleStage& stage = upscaleStage();
        m_bUpscaleReady = stage.run && (!stage.setUp || stage.setUp());
    }
    // At most four image-library workers, and no more than the machine has cores.
    cv::setNumThreads(std::max(1, std::min(4, cv::getNumberOfCPUs())));

    m_matLogo = loadResourceImage(":/Resource/Skin/LOGO_CN.png");
    m_matLogoSmall = loadResourceImage(":/Resource/Skin/LOGO_CN25.png");

    m_stRenderCreate = RenderCreateInfo();
    std::memset(&m_stRenderFrame, 0, sizeof(m_stRenderFrame));
    m_pLookup = new unsigned char[Palette::kCount * 3 * 256];
    for (int t = 0; t < Palette::kCount; ++t)
        Palette::split(Palette::table(t), m_pLookup + (3 * t) * 256, m_pLookup + (3 * t + 1) * 256,
                       m_pLookup + (3 * t + 2) * 256);

    ImageOps::buildGammaTable(m_fGammaTable);
    ImageOps::gammaBytes(m_fGammaTable, m_GammaBytes);

    connect(this, SIGNAL(sendRenderDataSignal(unsigned char*, int, int)), this,
            SLOT(setInputRenderDataSlot(unsigned char*, int, int)));
}

QVideoPlay::~QVideoPlay()
{
    // The link must not hand frames to an engine that is gone.
    UsbCameraLink& link = UsbCameraLink::instance();
    bool bBound = false;
    {
        QMutexLocker frameLock(&link.mutex);
        bBound = link.pConsumerCtx == this;
    }
    // Once this returns the link is no longer inside our frame entry.
    if (bBound)
        link.setFrameConsumer(nullptr, nullptr);
    {
        // Waits for a frame entry that is still copying.
        QMutexLocker intake(&m_IntakeMutex);
        m_bCallPending = false;
        m_bIntakeFresh = false;
    }
    QMutexLocker lock(&m_Mutex);
    if (m_bManualRecording || m_bAlarmRecording)
        stopRecording();
    delete m_pSegmentTimer;
    m_pSegmentTimer = nullptr;
    delete m_pWatchTimer;
    m_pWatchTimer = nullptr;
    destroyRenderTarget();
    freeBuffers();
    delete[] m_pLookup;
    m_pLookup = nullptr;
}

// ---------------------------------------------------------------------------------------
// Intake

void QVideoPlay::frameConsumer(unsigned char* pFrame, int nWidth, int nHeight, void* pCtx)
{
    if (pCtx)
        static_cast<QVideoPlay*>(pCtx)->takeFrame(pFrame, nWidth, nHeight);
}

void QVideoPlay::takeFrame(const unsigned char* pFrame, int nWidth, int nHeight)
{
    if (nWidth < 1 || nHeight < 1 || !pFrame)
        return;
    const int64_t nEntryUs = PipelineStats::nowUs();
    const size_t nBytes = size_t(nWidth) * size_t(nHeight) * 2;
    bool bQueue = false;
    bool bReplaced = false;
    unsigned char* pIntake = nullptr;
    {
        QMutexLocker intake(&m_IntakeMutex);
        if (nWidth != m_nIntakeWidth || nHeight != m_nIntakeHeight || m_Intake.size() != nBytes) {
            m_Intake.assign(nBytes, 0);
            m_pIntakeBuffer = m_Intake.data();
            m_nIntakeWidth = nWidth;
            m_nIntakeHeight = nHeight;
        }
        std::memcpy(m_Intake.data(), pFrame, nBytes);
        bReplaced = m_bIntakeFresh;
        m_bIntakeFresh = true;
        m_nIntakeEntryUs = nEntryUs;
        // One queued call at a time: while one is pending, a newer frame only refreshes the
        // intake and the pending call picks it up, so a slow pipeline never grows the queue.
        bQueue = !m_bCallPending;
        m_bCallPending = true;
        pIntake = m_Intake.data();
    }
    m_Stats.frameTaken(bReplaced);
    if (bQueue)
        emit sendRenderDataSignal(pIntake, nWidth, nHeight);
}

// ---------------------------------------------------------------------------------------
// Binding and renderer

void QVideoPlay::setVideoPlaySlots(void* pParam, bool bRenderToWindow)
{
    if (!pParam)
        return;
    bool bBind = false;
    {
        QMutexLocker lock(&m_Mutex);
        m_bRenderToWindow = bRenderToWindow;
        g_nLastFrameTick = 0;
        m_bHaveFrame = false;
        // Without a window the pointer is not a native window (the bad pixel editor passes its
        // view), so no renderer is made for it and frames are taken regardless.
        if (bRenderToWindow)
            setUpRenderTarget(pParam);
        bBind = !bRenderToWindow || m_hRender != nullptr;
    }
    if (bBind)
        UsbCameraLink::instance().registerStreamCallback(&QVideoPlay::frameConsumer, this);
}

void QVideoPlay::setUpRenderTarget(void* hWnd)
{
    const RenderEngineApi& api = renderEngine();
    if (m_hRender && m_hRenderWnd && m_hRenderWnd != hWnd) {
        const uint8_t zero[16] = {};
        api.detach(m_hRender, zero);
        api.destroy(m_hRender);
        m_hRender = nullptr;
        m_bHaveRendered = false;
        m_hRenderWnd = nullptr;
    }
    if (!m_hRender) {
        m_hRenderWnd = hWnd;
        m_stRenderCreate = RenderCreateInfo();
        m_stRenderCreate.nKind = 4;
        m_stRenderCreate.hWnd = hWnd;
        m_stRenderCreate.nFlags = 0;
        m_hRender = api.create(&m_stRenderCreate);
        if (!m_hRender)
            m_hRenderWnd = nullptr;
        // A new renderer has no markers yet.
        QMutexLocker lock(&m_MarkerMutex);
        m_bMarkerDirty = true;
    }
}

void QVideoPlay::destroyRenderTarget()
{
    if (m_hRender)
        renderEngine().destroy(m_hRender);
    m_hRender = nullptr;
    m_hRenderWnd = nullptr;
    m_bHaveRendered = false;
}

void QVideoPlay::stopPreview()
{
    QThread* pOwn = thread();
    if (pOwn && pOwn != QThread::currentThread() && pOwn->isRunning()) {
        // The renderer belongs to the engine thread (its drawing context is bound there).
        QMetaObject::invokeMethod(this, [this] { stopPreviewOnThread(); }, Qt::BlockingQueuedConnection);
        return;
    }
    stopPreviewOnThread();
}

void QVideoPlay::stopPreviewOnThread()
{
    QMutexLocker lock(&m_Mutex);
    destroyRenderTarget();
    m_nFrameWidth = 0;
    m_nFrameHeight = 0;
    g_nFrameWidth = 0;
    g_nFrameHeight = 0;
    m_fIsoHigh = 200.0f;
    m_fIsoLow = -30.0f;
}

// ---------------------------------------------------------------------------------------
// Buffers

void QVideoPlay::freeBuffers()
{
    delete[] m_pWorkBuffer;
    delete[] m_pFreezeBuffer;
    m_pWorkBuffer = nullptr;
    m_pFreezeBuffer = nullptr;
    m_pCalcBuffer = nullptr;
}

void QVideoPlay::reallocateBuffers(int nWidth, int nHeight)
{
    freeBuffers();
    const size_t n = size_t(nWidth) * size_t(nHeight);
    m_pWorkBuffer = new unsigned char[8 * n]();
    m_pFreezeBuffer = new unsigned char[2 * n]();
    m_nFrameWidth = nWidth;
    m_nFrameHeight = nHeight;
    g_nFrameWidth = nWidth;
    g_nFrameHeight = nHeight;
    m_nZoomTableBase = nWidth == 256 ? 4 : 0;
    m_nWorkWidth = 0;
    m_nWorkHeight = 0;

    // Copies handed out for the old size may still be read: keep them until the next change.
    m_Retired.clear();
    for (auto& v : m_CalcRing)
        m_Retired.push_back(std::move(v));
    for (auto& v : m_YuvRing)
        m_Retired.push_back(std::move(v));
    m_CalcRing.assign(kHandoutRing, {});
    m_YuvRing.assign(kHandoutRing, {});
    m_nCalcNext = 0;
    m_nYuvNext = 0;
}

unsigned char* QVideoPlay::nextHandout(std::vector<std::vector<unsigned char>>& ring, size_t& nNext,
                                       const unsigned char* pSrc, size_t nBytes)
{
    if (ring.empty())
        ring.assign(kHandoutRing, {});
    std::vector<unsigned char>& slot = ring[nNext];
    nNext = (nNext + 1) % ring.size();
    if (slot.size() < std::max(nBytes, kMinHandoutBytes))
        slot.assign(std::max(nBytes, kMinHandoutBytes), 0);
    std::memcpy(slot.data(), pSrc, nBytes);
    return slot.data();
}

// ---------------------------------------------------------------------------------------
// Per-frame pipeline

void QVideoPlay::setInputRenderDataSlot(unsigned char* data, int w, int h)
{
    // The queued call only says "a frame is waiting": the newest frame is read from the
    // intake, so calls that were coalesced are not lost.
    Q_UNUSED(data);
    Q_UNUSED(w);
    Q_UNUSED(h);
    QMutexLocker lock(&m_Mutex);
    runPipeline();
    const RecordNotices notices = takeRecordNotices();
    lock.unlock();
    emitRecordNotices(notices);
}

void QVideoPlay::runPipeline()
{
    int w = 0, h = 0;
    int64_t nEntryUs = 0;
    bool bSizeChanged = false;
    {
        QMutexLocker intake(&m_IntakeMutex);
        m_bCallPending = false;
        if (!m_bIntakeFresh)
            return;
        m_bIntakeFresh = false;
        w = m_nIntakeWidth;
        h = m_nIntakeHeight;
        nEntryUs = m_nIntakeEntryUs;
        if (w < 2 || h < 2)
            return;
        // Frozen across a change of the camera's picture size: the frozen picture stays, at its
        // own size, until the picture is released (reallocating would show black).
        if (g_bFreeze && m_bHaveFrame.load() && m_pFreezeBuffer) {
            w = m_nFrameWidth.load();
            h = m_nFrameHeight.load();
        }
        if (w != m_nFrameWidth.load() || h != m_nFrameHeight.load() || !m_pWorkBuffer) {
            reallocateBuffers(w, h);
            bSizeChanged = true;
        }
        // Freeze: while frozen the last frame taken before stays in the freeze copy, and the
        // pipeline goes on from that copy either way.
        if (!g_bFreeze)
            std::memcpy(m_pFreezeBuffer, m_Intake.data(), size_t(w) * size_t(h) * 2);
    }
    if (bSizeChanged)
        emit sendVideoWidgetUpdateSignal(false);

    g_nLastFrameTick = videoTickCount();
    m_bHaveFrame = true;

    const size_t nFrameBytes = size_t(w) * size_t(h) * 2;
    bool bSuperRes = m_bSuperRes.load();
    if (bSuperRes) {
        const UpscaleStage& stage = upscaleStage();
        // The network takes exactly the picture it was made for. Without it, for another size
        // or when a run fails, super-resolution switches off and says so: a plain enlargement
        // shown as super-resolution would not be honest.
        const bool bDone = m_bUpscaleReady && stage.run && w == kSuperResInWidth && h == kSuperResInHeight
            && stage.run(m_pFreezeBuffer, m_pWorkBuffer, w, h, m_bSuperResRatio ? m_fSuperResRatio : -1.0f);
        if (!bDone) {
            bSuperRes = false;
            m_bSuperRes = false;
            m_nScale = 1;
            emit sendSuperResRefusedSignal();
        }
    }
    const int s = bSuperRes ? 2 : 1;
    if (!bSuperRes)
        std::memcpy(m_pWorkBuffer, m_pFreezeBuffer, nFrameBytes);
    const size_t nWorkBytes = nFrameBytes * size_t(s * s);

    static const QMetaMethod s_calcSignal = QMetaMethod::fromSignal(&QVideoPlay::sendCalcuYDataSignal);
    if (isSignalConnected(s_calcSignal)) {
        m_pCalcBuffer = nextHandout(m_CalcRing, m_nCalcNext, m_pWorkBuffer, nWorkBytes);
        emit sendCalcuYDataSignal(m_pCalcBuffer, s);
    }

    int W = s * w;
    int H = s * h;
    if (m_bRenderToWindow) {
        applyColour(w, h, s);
        const int nDirection = g_nDirection.load();
        if (nDirection == 1 || nDirection == 3) {
            if (m_Scratch.size() < nWorkBytes)
                m_Scratch.resize(nWorkBytes);
        }
        ImageOps::rotateUyvyInPlace(m_pWorkBuffer, W, H, nDirection, m_Scratch.data());
        m_nWorkWidth = W;
        m_nWorkHeight = H;
        displayFrame(m_pWorkBuffer, W, H);
    } else {
        m_nWorkWidth = W;
        m_nWorkHeight = H;
        unsigned char* pCopy = nextHandout(m_YuvRing, m_nYuvNext, m_pWorkBuffer, nWorkBytes);
        emit sendYUVSignals(pCopy, s);
    }
    m_Stats.frameProcessed(nEntryUs, PipelineStats::nowUs());

    // What is shown is what is recorded, with the measurement items when they are to be shown.
    m_bWorkHasItems = m_pEncoder && BurnIn::blendInto(m_pWorkBuffer, m_nWorkWidth, m_nWorkHeight);
    encodeFrame(m_pWorkBuffer, W, H);
}

void QVideoPlay::applyColour(int nWidth, int nHeight, int nScale)
{
    const size_t nBytes = size_t(nWidth) * size_t(nHeight) * 2 * size_t(nScale * nScale);
    ThermImageContext& ctx = ThermImageContext::instance();
    const int nPaletteId = m_nPaletteId.load();
    if (ctx.m_bAutoRange.load()) {
        const int slot = lookupSlot(nPaletteId);
        if (slot < 0) {
            Palette::applyLumaTable(m_pWorkBuffer, nBytes, m_GammaBytes);
        } else {
            const unsigned char* pBase = m_pLookup + 3 * slot * 256;
            Palette::applyLookup(m_pWorkBuffer, nBytes, pBase, pBase + 256, pBase + 512, m_GammaBytes);
        }
        return;
    }
    Palette::applyLumaTable(m_pWorkBuffer, nBytes, m_GammaBytes);
    ThermalTrailer::RangeScene scene;
    scene.fSceneMin = ctx.m_fSceneMin.load();
    scene.fSceneMax = ctx.m_fSceneMax.load();
    scene.nLumaMin = ctx.m_nLumaMin.load();
    scene.nLumaMax = ctx.m_nLumaMax.load();
    std::vector<uint8_t> luma;
    ThermalTrailer::applyRangeMapping(m_pWorkBuffer, nWidth * nScale, nHeight * nScale, nPaletteId, m_fIsoLow,
                                      m_fIsoHigh, scene, &luma);
    ctx.setLumaPlane(luma);
}

void QVideoPlay::displayFrame(unsigned char* pBuffer, int nWidth, int nHeight)
{
    if (!m_hRender || nWidth < 2 || nHeight < 2)
        return;
    const RenderEngineApi& api = renderEngine();
    const size_t n = size_t(nWidth) * size_t(nHeight);
    m_I420.resize(n * 3 / 2);
    ImageOps::uyvyToI420(pBuffer, nWidth, nHeight, m_I420.data());
    m_Enlarged.resize(n * 16 * 3 / 2);
    ImageOps::enlargeI420x4(m_I420.data(), nWidth, nHeight, m_Enlarged.data());

    const int W4 = 4 * nWidth;
    const int H4 = 4 * nHeight;
    std::memset(&m_stRenderFrame, 0, sizeof(m_stRenderFrame));
    m_stRenderFrame.pPlane[0] = m_Enlarged.data();
    m_stRenderFrame.pPlane[1] = m_Enlarged.data() + n * 16;
    m_stRenderFrame.pPlane[2] = m_Enlarged.data() + n * 20;
    const int32_t pitch[3] = {W4, 2 * nWidth, 2 * nWidth};
    const int32_t rows[3] = {H4, 2 * nHeight, 2 * nHeight};
    for (int i = 0; i < 3; ++i) {
        m_stRenderFrame.nPitch[i] = pitch[i];
        m_stRenderFrame.nRows[i] = rows[i];
        m_stRenderFrame.nPitchVisible[i] = pitch[i];
        m_stRenderFrame.nRowsVisible[i] = rows[i];
    }
    RenderRect rect;
    rect.left = m_nZoomLeft.load();
    rect.top = m_nZoomTop.load();
    rect.right = W4 - rect.left;
    rect.bottom = H4 - rect.top;
    api.setSourceSize(m_hRender, W4, H4);
    pushMarkerPicture(api);
    api.drawFrame(m_hRender, &m_stRenderFrame, &rect, 0);
    api.present(m_hRender);
    m_stLastRenderRect = rect;
    m_bHaveRendered = true;
}

void QVideoPlay::redrawLastFrameSlot()
{
    QMutexLocker lock(&m_Mutex);
    if (!m_hRender || !m_bHaveRendered)
        return;
    const RenderEngineApi& api = renderEngine();
    pushMarkerPicture(api);
    api.drawFrame(m_hRender, &m_stRenderFrame, &m_stLastRenderRect, 0);
    api.present(m_hRender);
}

void QVideoPlay::setMarkerPicture(const QImage& picture)
{
    {
        QMutexLocker lock(&m_MarkerMutex);
        m_MarkerPicture = picture.isNull() ? QImage() : picture.convertToFormat(QImage::Format_ARGB32);
        m_bMarkerDirty = true;
    }
    // Shown at once, with the picture it belongs to, rather than with the next frame.
    QMetaObject::invokeMethod(this, "redrawLastFrameSlot", Qt::QueuedConnection);
}

void QVideoPlay::pushMarkerPicture(const RenderEngineApi& api)
{
    QMutexLocker lock(&m_MarkerMutex);
    if (!m_bMarkerDirty || !m_hRender || !api.setOverlay)
        return;
    m_bMarkerDirty = false;
    if (m_MarkerPicture.isNull())
        api.setOverlay(m_hRender, nullptr, 0, 0, 0);
    else
        api.setOverlay(m_hRender, m_MarkerPicture.constBits(), m_MarkerPicture.width(), m_MarkerPicture.height(),
                       m_MarkerPicture.bytesPerLine());
}

// ---------------------------------------------------------------------------------------
// Direct calls

bool QVideoPlay::isStreamAlive()
{
    if (!m_bHaveFrame.load())
        return false;
    const uint32_t nElapsed = videoTickCount() - g_nLastFrameTick.load();
    return nElapsed < 2001;
}

QPoint QVideoPlay::computeZoomOffsets(int nLevel)
{
    const ImageOps::ZoomOffsets z =
        ImageOps::zoomOffsets(nLevel, m_nZoomTableBase.load(), m_nFrameWidth.load(), m_nFrameHeight.load(),
                              m_bSuperRes.load() ? 2 : 1, g_nDirection.load());
    m_nZoomLeft = z.nLeft;
    m_nZoomTop = z.nTop;
    return QPoint(z.nLeft, z.nTop);
}

void QVideoPlay::setSuperResolution(bool bOn)
{
    QMutexLocker lock(&m_Mutex);
    m_bSuperRes = bOn;
    m_nScale = bOn ? 2 : 1;
}

float QVideoPlay::isoLow()
{
    QMutexLocker lock(&m_Mutex);
    return m_fIsoLow;
}

float QVideoPlay::isoHigh()
{
    QMutexLocker lock(&m_Mutex);
    return m_fIsoHigh;
}

cv::Mat QVideoPlay::toBgr(const unsigned char* pUyvy, int nWidth, int nHeight)
{
    return ImageOps::uyvyToBgr(pUyvy, nWidth, nHeight);
}

cv::Mat QVideoPlay::stampLogo(cv::Mat& image)
{
    const bool bLarge = m_bSuperRes.load() || UsbCameraLink::instance().szCapability[8] != 0;
    ImageOps::stampLogo(image, bLarge ? m_matLogo : m_matLogoSmall);
    return image;
}

cv::Mat QVideoPlay::loadResourceImage(const QString& qStrPath)
{
    QFile file(qStrPath);
    if (!file.open(QIODevice::ReadOnly))
        return cv::Mat();
    const QByteArray bytes = file.readAll();
    QImage image;
    if (bytes.isEmpty() || !image.loadFromData(bytes))
        return cv::Mat();
    switch (image.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied: {
        if (image.format() == QImage::Format_ARGB32_Premultiplied)
            image = image.convertToFormat(QImage::Format_ARGB32);
        // 32-bit pixels are B, G, R, A in memory on little-endian machines.
        const cv::Mat view(image.height(), image.width(), CV_8UC4, const_cast<uchar*>(image.constBits()),
                           size_t(image.bytesPerLine()));
        return view.clone();
    }
    case QImage::Format_RGB888: {
        const cv::Mat view(image.height(), image.width(), CV_8UC3, const_cast<uchar*>(image.constBits()),
                           size_t(image.bytesPerLine()));
        cv::Mat bgr;
        cv::cvtColor(view, bgr, cv::COLOR_RGB2BGR);
        return bgr;
    }
    case QImage::Format_Grayscale8: {
        const cv::Mat view(image.height(), image.width(), CV_8UC1, const_cast<uchar*>(image.constBits()),
                           size_t(image.bytesPerLine()));
        return view.clone();
    }
    default:
        return cv::Mat();
    }
}

// ---------------------------------------------------------------------------------------
// Slots

void QVideoPlay::JudgeRatioRangeSlot(ThermHotPointParam stHotPointParam)
{
    judgeRatioRange(stHotPointParam.fMaxTemper, m_bSuperResRatio, m_fSuperResRatio);
}

void QVideoPlay::setIsoTemperSlot(float fLowTemper, float fHighTemper)
{
    QMutexLocker lock(&m_Mutex);
    m_fIsoLow = fLowTemper;
    m_fIsoHigh = fHighTemper;
}

void QVideoPlay::setVideoMarkSlot(QString TempPath, QString Path)
{
    Q_UNUSED(TempPath);
    Q_UNUSED(Path);
}
