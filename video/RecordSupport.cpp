#include "video/RecordSupport.h"

#include "video/ImageOps.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <cstring>
#include <mutex>
#include <opencv2/imgproc.hpp>

namespace RecordSupport {

namespace {

std::mutex g_queryMutex;
FreeSpaceQuery g_fnQuery;
std::function<QDateTime()> g_fnNow;   // under g_queryMutex

bool volumeFreeSpace(const QString& qStrDir, quint64* pnBytes)
{
    const QStorageInfo storage(qStrDir);
    if (!storage.isValid() || !storage.isReady())
        return false;
    const qint64 nBytes = storage.bytesAvailable();
    if (nBytes < 0)
        return false;
    *pnBytes = quint64(nBytes);
    return true;
}

} // namespace

bool queryFreeSpace(const QString& qStrDir, quint64* pnBytes)
{
    FreeSpaceQuery fn;
    {
        std::lock_guard<std::mutex> lock(g_queryMutex);
        fn = g_fnQuery;
    }
    quint64 nBytes = 0;
    const bool bOk = fn ? fn(qStrDir, &nBytes) : volumeFreeSpace(qStrDir, &nBytes);
    if (bOk && pnBytes)
        *pnBytes = nBytes;
    return bOk;
}

void setFreeSpaceQuery(FreeSpaceQuery fnQuery)
{
    std::lock_guard<std::mutex> lock(g_queryMutex);
    g_fnQuery = std::move(fnQuery);
}

bool isShortOfSpace(const QString& qStrDir)
{
    quint64 nBytes = 0;
    return queryFreeSpace(qStrDir, &nBytes) && nBytes < kMinFreeBytes;
}

QDateTime now()
{
    std::function<QDateTime()> fn;
    {
        std::lock_guard<std::mutex> lock(g_queryMutex);
        fn = g_fnNow;
    }
    return fn ? fn() : QDateTime::currentDateTime();
}

void setClockForTests(std::function<QDateTime()> fnNow)
{
    std::lock_guard<std::mutex> lock(g_queryMutex);
    g_fnNow = std::move(fnNow);
}

QString dayFolder(const QString& qStrBase, const QDateTime& when)
{
    return qStrBase + "/" + when.toString("yyyyMMdd");
}

QString freeFileName(const QString& qStrDir, const QDateTime& when, const QString& qStrSuffix)
{
    QDateTime t = when;
    QString qStrPath = qStrDir + "/" + t.toString("yyyyMMdd_HHmmss_zzz") + qStrSuffix;
    // A thousand taken names in a row cannot happen in practice; the bound only keeps a
    // broken file system from holding the engine here.
    for (int i = 0; i < 1000 && QFileInfo::exists(qStrPath); ++i) {
        t = t.addMSecs(1);
        qStrPath = qStrDir + "/" + t.toString("yyyyMMdd_HHmmss_zzz") + qStrSuffix;
    }
    return qStrPath;
}

bool uyvyToI420Stamped(const unsigned char* pUyvy, int nWidth, int nHeight,
                       const std::function<void(cv::Mat& bgr)>& fnStamp, std::vector<unsigned char>& out)
{
    if (!pUyvy || nWidth < 2 || nHeight < 2 || nWidth % 2 || nHeight % 2)
        return false;
    cv::Mat bgr = ImageOps::uyvyToBgr(pUyvy, nWidth, nHeight);
    if (bgr.empty())
        return false;
    if (fnStamp)
        fnStamp(bgr);
    const size_t nBytes = size_t(nWidth) * size_t(nHeight) * 3 / 2;
    out.resize(nBytes);
    // Converting straight into the caller's buffer saves a copy per recorded frame.
    cv::Mat i420(nHeight * 3 / 2, nWidth, CV_8UC1, out.data());
    cv::cvtColor(bgr, i420, cv::COLOR_BGR2YUV_I420);
    if (i420.data != out.data())
        std::memcpy(out.data(), i420.data, nBytes);
    return true;
}

} // namespace RecordSupport
