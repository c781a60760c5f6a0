#pragma once
// The video engine: a worker that lives on a thread of its own, takes every camera frame from
// the camera link and runs the per-frame pipeline on it: freeze, super-resolution, hand-off to
// the thermal data worker, gamma, pseudo-colour or temperature-range mapping, rotation,
// display through the renderer and, while a recording runs, encoding. It also answers
// snapshot and recording requests.
//
// Pictures inside the engine are packed UYVY 4:2:2 (U0 Y0 V0 Y1 per pixel pair).

#include "platform/render/RenderEngine.h"
#include "video/PipelineStats.h"
#include "video/ThermHotPointParam.h"

#include <QImage>
#include <QMutex>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <opencv2/core.hpp>
#include <vector>

class QTimer;

class QVideoPlay : public QObject
{
    Q_OBJECT

public:
    // Whether the super-resolution stage could be set up when the engine was built.
    bool isSuperResolutionReady() const { return m_bUpscaleReady; }
    explicit QVideoPlay(QObject* parent = nullptr);
    ~QVideoPlay() override;

    // Frame entry, registered with the camera link as its consumer (pCtx is the engine).
    // Runs on the camera library's callback thread: copies the frame into the intake buffer
    // and queues one pipeline call unless one is already pending (frames coalesce, the
    // pending call then picks up the newest frame).
    static void frameConsumer(unsigned char* pFrame, int nWidth, int nHeight, void* pCtx);
    void takeFrame(const unsigned char* pFrame, int nWidth, int nHeight);

    // True when a frame was processed less than 2001 ms ago.
    bool isStreamAlive();

    // Crop origin (left, top) of the zoomed picture, in displayed (fourfold-enlarged) pixels,
    // for zoom level nLevel (0 = whole picture). Stored for the display and returned.
    QPoint computeZoomOffsets(int nLevel);

    // UYVY bytes of nWidth x nHeight to a 3-channel BGR image (a new matrix).
    static cv::Mat toBgr(const unsigned char* pUyvy, int nWidth, int nHeight);
    // Stamps the logo (large one while super-resolution is on or the camera enlarges by
    // itself) into a 3-channel image at (10, 10), in place; returns the image.
    cv::Mat stampLogo(cv::Mat& image);
    // Resource image as a matrix: 4 channels (B, G, R, A) for 32-bit images, 3 (BGR) for
    // 24-bit, 1 for greyscale; empty when unreadable or of another format.
    static cv::Mat loadResourceImage(const QString& qStrPath);

    // Palette id (0 WhiteHot, 1 BlackHot, 3 Rainbow, 6 IronRed); takes effect at the next frame.
    void setPaletteId(int nId) { m_nPaletteId.store(nId); }
    int paletteId() const { return m_nPaletteId.load(); }

    // Super-resolution switch and scale (2 while on, 1 while off), under the engine mutex so
    // that the change waits for the frame in progress.
    void setSuperResolution(bool bOn);

    // Stop of the preview by the live view: releases the renderer, forgets the frame size and
    // resets the isotherm window to -30.0 .. 200.0. Runs on the engine thread (blocking the
    // caller until done) when called from another thread.
    void stopPreview();

    // The engine mutex, for callers that write the locked fields below themselves.
    QMutex& mutex() { return m_Mutex; }

    // Recording set-up for tools and tests; each takes effect at the next start of a segment.
    // Segment length: ten minutes unless changed (at least 1 ms).
    void setSegmentLengthMs(int nMs);
    // Watch over a running recording: every nIntervalMs it checks that frames still come;
    // after nStallMs without one the camera counts as lost and the recording is finished.
    // An interval of 0 turns the watch off.
    void setRecordWatch(int nIntervalMs, int nStallMs);
    // Folder for manual recordings instead of the configured one (empty: the configured one).
    void setManualRecordDir(const QString& qStrDir);
    // Folder for alarm recordings instead of the configured one (empty: the configured one).
    void setAlarmRecordDir(const QString& qStrDir);
    // A manual or alarm recording runs.
    bool isRecording();
    // Whether the picture a snapshot takes now already holds the measurement items (drawn in
    // for a recording), so that they are not drawn into the snapshot a second time.
    bool pictureHasItems() const { return m_bWorkHasItems.load(); }
    // The hot and cold spot markers, laid over the shown picture by the renderer (not drawn into
    // snapshots or recordings): a transparent picture of the picture's size on screen; null for
    // none. Any thread; drawn with the last picture at once.
    void setMarkerPicture(const QImage& picture);

    // Test and tool access to the pipeline's state.
    int frameWidth() const { return m_nFrameWidth.load(); }
    int frameHeight() const { return m_nFrameHeight.load(); }
    int zoomTableBase() const { return m_nZoomTableBase.load(); }
    bool hasRenderTarget() const { return m_hRender != nullptr; }
    bool isRenderToWindow() const { return m_bRenderToWindow; }
    float superResRatio() const { return m_fSuperResRatio; }
    bool isSuperResRatioOn() const { return m_bSuperResRatio; }
    float isoLow();
    float isoHigh();
    // Frames taken, processed and coalesced, and the latency from the frame callback to the
    // end of the pass (the present call), for tools that watch a running engine.
    const PipelineStats& pipelineStats() const { return m_Stats; }

signals:
    void sendSnapshotResultSignals(int);
    void sendRecordResultSignals(int);
    // Each processed frame when not rendering to a window; the buffer stays valid for the
    // next few frames (the engine hands out a rotating set of copies).
    void sendYUVSignals(unsigned char*, int);
    void sendFocusYUVDataSignals(unsigned char* data);
    // Each processed frame, for the thermal data worker; same lifetime as above.
    void sendCalcuYDataSignal(unsigned char*, int);
    void sendVideoWidgetUpdateSignal(bool bUpdate);
    void sendRenderDataSignal(unsigned char*, int, int);
    // A recording segment file was opened (one per segment); a snapshot file was written.
    void sendRecordFileSignal(QString qStrPath);
    void sendSnapshotFileSignal(QString qStrPath);
    // Super-resolution was on but could not run on this picture (no usable network, a picture
    // size the network was not made for, a failed run): the engine switched it off.
    void sendSuperResRefusedSignal();

public slots:
    void JudgeRatioRangeSlot(ThermHotPointParam stHotPointParam);
    void setIsoTemperSlot(float fLowTemper, float fHighTemper);
    // Draws the last shown frame again at once. Another window over the picture that gives
    // up part of its area leaves its old pixels there until the picture is drawn again.
    void redrawLastFrameSlot();

private slots:
    void setVideoPlaySlots(void* pParam, bool bRenderToWindow);
    void setDealSnapshotSlots(QString qStrPath);
    void setStartRecordSlots();
    void setSubcontractRecordTimer();
    void setStopRecordSlots();
    void setStartAlarmRecordSlots();
    void setVideoMarkSlot(QString TempPath, QString Path);
    void setInputRenderDataSlot(unsigned char* data, int w, int h);

private:
    void reallocateBuffers(int nWidth, int nHeight);
    void freeBuffers();
    void runPipeline();
    void applyColour(int nWidth, int nHeight, int nScale);
    void displayFrame(unsigned char* pBuffer, int nWidth, int nHeight);
    void setUpRenderTarget(void* hWnd);
    void destroyRenderTarget();
    void stopPreviewOnThread();
    unsigned char* nextHandout(std::vector<std::vector<unsigned char>>& ring, size_t& nNext,
                               const unsigned char* pSrc, size_t nBytes);
    // Recording and snapshots (QVideoPlay_Record.cpp). Called with m_Mutex held; what is to
    // be signalled is collected in m_Notices and emitted by the slot once it has unlocked.
    int startRecordTo(const QString& qStrBaseDir);
    int startRecordTo(const QString& qStrBaseDir, int nWidth, int nHeight);
    void stopRecording();
    void closeEncoder();
    QString recordDirForKind(int nKind);
    void encodeFrame(const unsigned char* pBuffer, int nWidth, int nHeight);
    void checkRecordingStream();
    int writeSnapshot(const QString& qStrFile);
    struct RecordNotices
    {
        int nRecordResult = -1;   // for sendRecordResultSignals, when >= 0
        QStringList files;        // segment files that received their first picture
    };
    RecordNotices takeRecordNotices();
    void emitRecordNotices(const RecordNotices& notices);

public:
    // Engine state. Fields the live view writes directly are public; those marked "locked"
    // are written under m_Mutex.
    uint32_t m_PaletteTables[3][256];      // IronRed, BlackHot, Rainbow (0x00YYUUVV)
    unsigned char* m_pWorkBuffer = nullptr; // 8 x w x h: room for a frame doubled both ways
    std::atomic<int> m_nFrameWidth{0};
    std::atomic<int> m_nFrameHeight{0};
    QMutex m_Mutex;
    void* m_pEncoder = nullptr;             // open H.264 encoder, or null
    void* m_pMuxer = nullptr;               // open MP4 writer, or null
    bool m_bManualRecording = false;
    bool m_bAlarmRecording = false;         // locked
    int m_nRecordKind = -1;                 // -1 none yet, 0 manual, 1 alarm
    QTimer* m_pSegmentTimer = nullptr;
    unsigned char* m_pFreezeBuffer = nullptr; // 2 x w x h: last frame taken while not frozen
    RenderHandle m_hRender = nullptr;
    void* m_hRenderWnd = nullptr;
    RenderCreateInfo m_stRenderCreate;
    RenderFrameDesc m_stRenderFrame;
    RenderRect m_stLastRenderRect;
    bool m_bHaveRendered = false;   // m_stRenderFrame holds a frame drawn to the current renderer
    unsigned char* m_pLookup = nullptr;     // 9 x 256: Y, U, V of IronRed, BlackHot, Rainbow
    std::atomic<int> m_nPaletteId{0};
    std::atomic<int> m_nZoomLeft{0};
    std::atomic<int> m_nZoomTop{0};
    cv::Mat m_matLogo;                      // 50 x 50, BGRA
    cv::Mat m_matLogoSmall;                 // 25 x 25, BGRA
    bool m_bSuperResRatio = false;          // blend the network's output with a plain upscale
    float m_fSuperResRatio = 1.0f;          // weight of the network's output in that blend
    std::atomic<bool> m_bSuperRes{false};   // locked
    std::atomic<int> m_nScale{1};           // locked; 2 while super-resolution is on
    bool m_bRenderToWindow = false;
    float m_fGammaTable[256];
    float m_fIsoHigh = 150.0f;              // locked
    float m_fIsoLow = -30.0f;               // locked
    unsigned char* m_pCalcBuffer = nullptr; // 8 x w x h: processed frame for the thermal worker
    unsigned char* m_pIntakeBuffer = nullptr; // 2 x w x h: the newest frame from the link (m_Intake)
    std::atomic<int> m_nZoomTableBase{0};   // 4 for 256-wide frames, else 0

private:
    unsigned char m_GammaBytes[256];        // the gamma table as bytes, for the per-pixel pass

    // Intake, guarded by its own lock so the camera's callback thread never waits for a
    // pipeline run in progress.
    QMutex m_IntakeMutex;
    void pushMarkerPicture(const RenderEngineApi& api);   // under m_Mutex, on the engine thread
    QMutex m_MarkerMutex;
    QImage m_MarkerPicture;
    bool m_bMarkerDirty = false;
    std::vector<unsigned char> m_Intake;    // newest frame as received
    int m_nIntakeWidth = 0;
    int m_nIntakeHeight = 0;
    bool m_bCallPending = false;            // a pipeline call is queued and has not started
    bool m_bIntakeFresh = false;            // the intake holds a frame not processed yet
    int64_t m_nIntakeEntryUs = 0;           // when the frame in the intake reached the engine

    PipelineStats m_Stats;

    std::atomic<bool> m_bWorkHasItems{false};
    std::atomic<bool> m_bHaveFrame{false};  // a frame was processed since binding
    bool m_bUpscaleReady = false;           // the super-resolution model is set up
    int m_nWorkWidth = 0;                   // size of the picture in the work buffer after
    int m_nWorkHeight = 0;                  // scale and rotation (what is shown and saved)

    // Rotating copies handed to receivers on other threads, so a following frame never
    // rewrites a buffer a receiver is still copying.
    std::vector<std::vector<unsigned char>> m_CalcRing;
    size_t m_nCalcNext = 0;
    std::vector<std::vector<unsigned char>> m_YuvRing;
    size_t m_nYuvNext = 0;
    // Copies from before the last size change, kept until the next one for late receivers.
    std::vector<std::vector<unsigned char>> m_Retired;

    // Recording state beyond the public fields (all under m_Mutex).
    QTimer* m_pWatchTimer = nullptr;        // checks that frames still come while recording
    int m_nSegmentMs = 600000;
    int m_nWatchIntervalMs = 1000;
    int m_nStallMs = 5000;
    int m_nRecWidth = 0;                    // picture size the encoder was opened with
    QString m_qStrRecFile;                  // the open segment, until its first picture is written
    int m_nRecHeight = 0;
    uint32_t m_nLastRecordTick = 0;         // tick of the last frame seen while recording
    QString m_qStrManualDir;
    QString m_qStrAlarmDir;
    std::vector<unsigned char> m_RecordI420;
    RecordNotices m_Notices;

    // Scratch of the display: rotation, I420 frame and its fourfold enlargement.
    std::vector<unsigned char> m_Scratch;
    std::vector<unsigned char> m_I420;
    std::vector<unsigned char> m_Enlarged;
};
