#include "device/UsbCameraLink.h"

#include "device/DeviceCommands.h"
#include "platform/camlib/CameraBackend.h"
#include "platform/camlib/CameraChoice.h"

#include <QDebug>
#include <QMutexLocker>
#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr int kTrailerBytes = 256;

// Part numbers of the cameras this client drives.
const char* const kAcceptedPartNumbers[] = {"KRM2560101A1RT1", "KRM2560202B2RT2", "KRM2560303C3RT3"};

bool isAcceptedPartNumber(const char* pszPart32)
{
    const size_t nLen = strnlen(pszPart32, DeviceCmd::kPartNumberBytes);
    for (const char* pszAccepted : kAcceptedPartNumbers) {
        if (nLen == std::strlen(pszAccepted) && std::memcmp(pszPart32, pszAccepted, nLen) == 0)
            return true;
    }
    return false;
}

} // namespace

UsbCameraLink& UsbCameraLink::instance()
{
    // Function-local static: created once, thread-safely, destroyed at process exit.
    static UsbCameraLink link;
    return link;
}

UsbCameraLink::UsbCameraLink() = default;

UsbCameraLink::~UsbCameraLink()
{
    // Stop the stream first so the callback thread cannot reach a link being destroyed.
    if (bStreaming)
        close();
    cameraLibrary().UinitUSBCam();
    QMutexLocker lock(&mutex);
    delete[] pTrailer;
    pTrailer = nullptr;
    delete[] pFrame;
    pFrame = nullptr;
}

bool UsbCameraLink::failOpen(OpenFailure eFailure, bool bReset)
{
    m_eLastOpenFailure = eFailure;
    if (bReset)
        close();
    return false;
}

QByteArray UsbCameraLink::lastPartNumber() const
{
    QMutexLocker lock(&m_diagMutex);
    return m_lastPartNumber;
}

QString UsbCameraLink::lastSerialNumber() const
{
    QMutexLocker lock(&m_diagMutex);
    return m_lastSerialNumber;
}

void UsbCameraLink::rememberSerialNumber(const QString& qStrSerial)
{
    QMutexLocker lock(&m_diagMutex);
    m_lastSerialNumber = qStrSerial;
}

QString UsbCameraLink::lastOpenDetail() const
{
    QMutexLocker lock(&m_diagMutex);
    return m_lastOpenDetail;
}

bool UsbCameraLink::open(const UsbDeviceRecord& record)
{
    const CameraLibraryApi& lib = cameraLibrary();
    {
        QMutexLocker lock(&m_diagMutex);
        m_lastPartNumber.clear();
        m_lastSerialNumber.clear();
        m_lastOpenDetail.clear();
    }
    m_nDroppedFrames = 0;

    m_ConnectDev = record;
    if (m_ConnectDev.nCamID == -1)
        return failOpen(OpenFailure::NoCamera, false);
    UsbDeviceRecord device = m_ConnectDev;
    if (!lib.OpenUSBCam(&device))
        return failOpen(OpenFailure::OpenRefused, false);
    nCamID = m_ConnectDev.nCamID;
    m_bLibraryOpen = true;

    // Stream-only: a node named explicitly that answers no commands still gives the picture
    // and the trailer. Nothing is asked of it; its geometry is the format the node delivers.
    const CameraBackendDescription backend = cameraBackendEvents().describe();
    const bool bStreamOnly = backend.bStreamOnly;

    char szPart[DeviceCmd::kPartNumberBytes] = {};
    const bool bPartRead = bStreamOnly || queryPartNumber(*this, szPart);
    {
        QMutexLocker lock(&m_diagMutex);
        m_lastPartNumber = QByteArray(szPart, static_cast<int>(strnlen(szPart, sizeof(szPart))));
    }
    if (!bPartRead)
        return failOpen(OpenFailure::PartNumberQuery, true);
    if (!bStreamOnly && !isAcceptedPartNumber(szPart))
        return failOpen(OpenFailure::PartNumberRefused, true);

    int nStreamWidth = 512;
    int nStreamHeight = 200;
    int nImageWidth = 256;
    int nImageHeight = 192;
    int nDouble = bRModel;
    uint8_t format[64];
    if (bStreamOnly) {
        bRModel = 1;   // as every accepted model: the trailer carries the temperatures
        if (!streamOnlyGeometry(backend.nStreamWidth, backend.nStreamHeight, &nImageWidth, &nImageHeight, &nDouble)) {
            QMutexLocker lock(&m_diagMutex);
            m_lastOpenDetail = QStringLiteral("a %1x%2 stream holds no 256x192 or 512x384 image")
                                   .arg(backend.nStreamWidth)
                                   .arg(backend.nStreamHeight);
            lock.unlock();
            return failOpen(OpenFailure::StreamGeometry, true);
        }
        nStreamWidth = backend.nStreamWidth;
        nStreamHeight = backend.nStreamHeight;
    } else if (queryStreamFormat(*this, format)) {
        const StreamFormat fmt = parseStreamFormat(format);
        if (fmt.nImageWidth != 256 && fmt.nImageWidth != 512)
            return failOpen(OpenFailure::ImageWidth, true);
        const QString qStrProblem = streamFormatProblem(fmt);
        if (!qStrProblem.isEmpty()) {
            qWarning("Camera refused: its stream format is impossible (%s)", qPrintable(qStrProblem));
            {
                QMutexLocker lock(&m_diagMutex);
                m_lastOpenDetail = qStrProblem;
            }
            return failOpen(OpenFailure::StreamGeometry, true);
        }
        nStreamWidth = fmt.nStreamWidth;
        nStreamHeight = fmt.nStreamHeight;
        nImageWidth = fmt.nImageWidth;
        nImageHeight = fmt.nImageHeight;
        nDouble = fmt.nStreamWidth != fmt.nImageWidth ? 1 : 0;
    }
    {
        // The frame path reads the sizes together with the buffer; drop a buffer that no
        // longer matches so a late frame cannot be copied with the new geometry into it.
        QMutexLocker lock(&mutex);
        nWidth = nImageWidth;
        nHeight = nImageHeight;
        bDoubleWidth = nDouble;
        m_nStreamWidth = nStreamWidth;
        m_nStreamHeight = nStreamHeight;
        if (pFrame && m_nFrameBytes != nWidth * nHeight * 2) {
            delete[] pFrame;
            pFrame = nullptr;
            m_nFrameBytes = 0;
        }
    }

    device = m_ConnectDev;
    if (lib.InitUSBCam(&device, nStreamWidth, nStreamHeight, 0, 0, 1) != 0)
        return failOpen(OpenFailure::StreamInit, true);
    m_bStreamStarted = true;

    if (bStreamOnly)
        std::memset(szCapability, 0, sizeof(szCapability));
    else if (!queryCapability(*this))
        return failOpen(OpenFailure::Capability, true);

    {
        QMutexLocker lock(&mutex);
        const int nBytes = nWidth * nHeight * 2;
        delete[] pFrame;
        pFrame = new (std::nothrow) unsigned char[static_cast<size_t>(nBytes)]();
        m_nFrameBytes = pFrame ? nBytes : 0;
        if (!pTrailer)
            pTrailer = new (std::nothrow) unsigned char[kTrailerBytes]();
        else
            std::memset(pTrailer, 0, kTrailerBytes);
    }
    bStreaming = true;
    if (!pFrame || !pTrailer)
        return failOpen(OpenFailure::OutOfMemory, true);
    m_eLastOpenFailure = OpenFailure::None;
    return true;
}

bool UsbCameraLink::close()
{
    setFrameConsumer(nullptr, nullptr);
    const bool bWasStreaming = bStreaming.exchange(false);
    // A camera opened by an open() that failed later is closed too: left open, a real device
    // answers the next attempt with "busy".
    if (m_bLibraryOpen.exchange(false) || bWasStreaming) {
        // Not while a transaction is on the channel: the library would close under it.
        QMutexLocker channel(&m_channelMutex);
        const int nId = nCamID.load();
        qDebug("CloseStreaming  m_ConnectDev.nCamID:%d", nId);
        const CameraLibraryApi& lib = cameraLibrary();
        if (m_bStreamStarted.exchange(false))
            lib.CloseUSBStreaming(nId);
        lib.CloseUSBCam(nId);
        nCamID = -1;
    }
    QMutexLocker lock(&mutex);
    if (pTrailer)
        std::memset(pTrailer, 0, kTrailerBytes);
    delete[] pFrame;
    pFrame = nullptr;
    m_nFrameBytes = 0;
    m_nStreamWidth = 0;
    m_nStreamHeight = 0;
    nWidth = 0;
    nHeight = 0;
    bDoubleWidth = 0;
    return true;
}

void UsbCameraLink::setFrameConsumer(FrameConsumer pfnConsumer, void* pCtx)
{
    QMutexLocker lock(&mutex);
    pfnFrameConsumer = pfnConsumer;
    pConsumerCtx = pCtx;
}

bool UsbCameraLink::registerStreamCallback(FrameConsumer pfnConsumer, void* pCtx)
{
    setFrameConsumer(pfnConsumer, pCtx);
    if (!bStreaming)
        return true;
    const CameraLibraryApi& lib = cameraLibrary();
    const int nId = nCamID.load();
    if (lib.RegisterUSBStreamCallBack(nId, &UsbCameraLink::streamCallback, this) == -1) {
        qDebug("UinitUSBCam  m_ConnectDev.nCamID:%d", nId);
        lib.UinitUSBCam();
        // The library let go of everything: nothing is left to close at it.
        m_bLibraryOpen = false;
        m_bStreamStarted = false;
        bStreaming = false;
        return false;
    }
    return true;
}

int UsbCameraLink::streamCallback(int nArg1, int nArg2, unsigned char* pData, int nLength, void* pUser)
{
    if (nArg1 < 1 || nArg2 < 1 || nLength < 1 || !pData || !pUser)
        return -1;
    static_cast<UsbCameraLink*>(pUser)->handleFrame(pData, nLength);
    return 0;
}

void UsbCameraLink::handleFrame(const unsigned char* pData, int nLength)
{
    if (!pData || nLength < 1)
        return;
    QMutexLocker lock(&mutex);
    if (!pFrame || !pTrailer || nWidth < 1 || nHeight < 1 || m_nFrameBytes != nWidth * nHeight * 2)
        return;
    const size_t nRowBytes = static_cast<size_t>(nWidth) * 2;
    const size_t nStreamRowBytes = bDoubleWidth ? nRowBytes * 2 : nRowBytes;
    const size_t nImageBytes = nStreamRowBytes * static_cast<size_t>(nHeight);
    // Never read past what the library delivered: a short frame is dropped whole. A longer
    // frame than the stream that was set up is laid out differently (another size than
    // asked for); read with this layout it would show stripes as if they were the picture.
    const size_t nMinBytes = nImageBytes + kTrailerBytes;
    const size_t nStreamBytes = static_cast<size_t>(m_nStreamWidth) * static_cast<size_t>(m_nStreamHeight) * 2;
    const size_t nMaxBytes = std::max(nMinBytes, nStreamBytes);
    if (static_cast<size_t>(nLength) < nMinBytes || (nStreamBytes > 0 && static_cast<size_t>(nLength) > nMaxBytes)) {
        noteDroppedFrame(nLength, nMinBytes, nStreamBytes > 0 ? nMaxBytes : 0);
        return;
    }
    if (!bDoubleWidth) {
        std::memcpy(pFrame, pData, nImageBytes);
    } else {
        // The image is the right half of each double-width stream row.
        for (int nRow = 0; nRow < nHeight; ++nRow)
            std::memcpy(pFrame + nRow * nRowBytes, pData + nRow * nStreamRowBytes + nRowBytes, nRowBytes);
    }
    std::memcpy(pTrailer, pData + nImageBytes, kTrailerBytes);
    if (pfnFrameConsumer)
        pfnFrameConsumer(pFrame, nWidth, nHeight, pConsumerCtx);
}

void UsbCameraLink::noteDroppedFrame(int nLength, size_t nMinBytes, size_t nMaxBytes)
{
    if (m_nDroppedFrames.fetch_add(1) > 0)
        return;
    qWarning("Camera frame of %d bytes dropped: the %dx%d stream set up for a %dx%d image%s takes %zu to %zu bytes; "
             "frames that do not fit are counted and not shown",
             nLength, m_nStreamWidth, m_nStreamHeight, nWidth, nHeight, bDoubleWidth ? " (double width)" : "",
             nMinBytes, nMaxBytes > 0 ? nMaxBytes : nMinBytes);
}

bool UsbCameraLink::copyTrailer(unsigned char* pOut256)
{
    QMutexLocker lock(&mutex);
    if (!bStreaming || !pTrailer)
        return false;
    std::memcpy(pOut256, pTrailer, kTrailerBytes);
    return true;
}
