#pragma once
// Helpers shared by recording and snapshots: the free-space rule, the names of day folders
// and files, and the conversion of a shown picture into the encoder's I420 layout.

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <functional>
#include <opencv2/core.hpp>
#include <vector>

namespace RecordSupport {

// Neither a recording nor a snapshot starts with less than 5 GiB free on the target volume.
constexpr quint64 kMinFreeBytes = 5368709120ULL;
// Recordings are cut into segments of ten minutes.
constexpr int kSegmentLengthMs = 600000;

// Free bytes available to this user on the volume that holds dir. False when the volume
// cannot be asked; a failed query never stops a recording or a snapshot.
using FreeSpaceQuery = std::function<bool(const QString& qStrDir, quint64* pnBytes)>;
bool queryFreeSpace(const QString& qStrDir, quint64* pnBytes);
// Replaces the query (tests stand in for disks of a chosen size); an empty one restores the
// volume query.
void setFreeSpaceQuery(FreeSpaceQuery fnQuery);
// True only when the query succeeds and reports less than kMinFreeBytes.
bool isShortOfSpace(const QString& qStrDir);

// Local date and time that names folders and files. Tests replace the clock to cross
// midnight at will; an empty function restores the system clock.
QDateTime now();
void setClockForTests(std::function<QDateTime()> fnNow);

// base + "/" + "yyyyMMdd" of the given day.
QString dayFolder(const QString& qStrBase, const QDateTime& when);
// dir + "/" + "yyyyMMdd_HHmmss_zzz" + suffix for the given time; when that file exists
// already (two saves in one millisecond) the next free millisecond is taken, so nothing
// written before is ever overwritten.
QString freeFileName(const QString& qStrDir, const QDateTime& when, const QString& qStrSuffix);

// UYVY W x H (the shown picture) to BGR, with the logo blended in by stamp, then to
// contiguous I420 (Y, then U, then V) in out (resized to W*H*3/2). W and H must be even.
// False when the picture cannot be converted.
bool uyvyToI420Stamped(const unsigned char* pUyvy, int nWidth, int nHeight,
                       const std::function<void(cv::Mat& bgr)>& fnStamp, std::vector<unsigned char>& out);

} // namespace RecordSupport
