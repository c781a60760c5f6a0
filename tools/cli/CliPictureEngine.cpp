#include "CliPictureEngine.h"

#include "app/AppFlags.h"
#include "app/Startup.h"
#include "measure/PaletteNames.h"
#include "platform/render/RenderEngine.h"
#include "video/QVideoPlay.h"
#include "video/SuperResolution.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <cstdio>

void addPictureOptions(QCommandLineParser& parser)
{
    parser.addOption({QStringLiteral("palette"),
                      QStringLiteral("Palette (default whitehot): %1.").arg(PaletteNames::cliNameList()),
                      QStringLiteral("name"), QStringLiteral("whitehot")});
    parser.addOption({QStringLiteral("rotate"),
                      QStringLiteral("Rotation: 0 none (default), 1 quarter turn clockwise, 2 half turn, "
                                     "3 quarter turn counter-clockwise."),
                      QStringLiteral("n"), QStringLiteral("0")});
    parser.addOption({QStringLiteral("superres"),
                      QStringLiteral("Run the client's super-resolution stage (a 256 x 192 camera gives 512 x 384).")});
}

bool readPictureOptions(const QCommandLineParser& parser, CliPictureOptions* pOptions, QString* pError)
{
    const int nPalette = PaletteNames::idFromName(parser.value(QStringLiteral("palette")));
    if (nPalette < 0) {
        *pError = QStringLiteral("--palette takes one of: %1").arg(PaletteNames::cliNameList());
        return false;
    }
    pOptions->nPalette = nPalette;
    bool bOk = false;
    const int nRotate = parser.value(QStringLiteral("rotate")).toInt(&bOk);
    if (!bOk || nRotate < 0 || nRotate > 3) {
        *pError = QStringLiteral("--rotate takes 0, 1, 2 or 3");
        return false;
    }
    pOptions->nRotate = nRotate;
    pOptions->bSuperRes = parser.isSet(QStringLiteral("superres"));
    return true;
}

CliPictureEngine::CliPictureEngine(const CliPictureOptions& options)
{
    // The logos the engine stamps live in the compiled-in resources.
    static const bool s_bResources = [] {
        initThermavaResources();
        return true;
    }();
    Q_UNUSED(s_bResources);
    setRenderEngine(&nullRenderEngineApi());
    g_nDirection = options.nRotate;
    g_bFreeze = false;
    m_pEngine = new QVideoPlay;
    m_pEngine->setPaletteId(options.nPalette);
    if (options.bSuperRes) {
        if (!isSuperResolutionAvailable())
            std::fprintf(stderr, "thermava-cli: the super-resolution network is not available; "
                                 "the picture is enlarged plainly\n");
        m_pEngine->setSuperResolution(true);
    }
    m_pEngine->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_pEngine, &QObject::deleteLater);
    m_thread.start();
}

CliPictureEngine::~CliPictureEngine()
{
    m_thread.quit();
    m_thread.wait();
}

bool CliPictureEngine::waitForFrames(int nFrames, int nTimeoutMs)
{
    std::atomic<int> nSeen{0};
    // Each processed frame is handed to the thermal data worker; counting those hand-offs
    // counts frames that went through the whole pipeline.
    const QMetaObject::Connection counter = QObject::connect(
        m_pEngine, &QVideoPlay::sendCalcuYDataSignal, m_pEngine, [&nSeen](unsigned char*, int) { ++nSeen; },
        Qt::DirectConnection);
    // Any non-null handle: the null renderer never looks at it.
    QMetaObject::invokeMethod(m_pEngine, "setVideoPlaySlots", Qt::BlockingQueuedConnection,
                              Q_ARG(void*, static_cast<void*>(m_pEngine)), Q_ARG(bool, true));
    QElapsedTimer waited;
    waited.start();
    while (nSeen.load() < nFrames && waited.elapsed() < nTimeoutMs)
        QThread::msleep(10);
    QObject::disconnect(counter);
    // A frame still in the pipeline may be counting: let it finish before nSeen goes away.
    QMetaObject::invokeMethod(m_pEngine, [] {}, Qt::BlockingQueuedConnection);
    return nSeen.load() >= nFrames;
}
