#pragma once
// Opens a media file with libavformat, decodes its first video track with libavcodec and
// reports what a player would see. Used by the tests of recording.

#include <QString>
#include <QVector>

#include <functional>

#include <opencv2/core.hpp>

namespace TestSupport {

struct MediaInfo
{
    bool bOpened = false;        // the container opened and has a video track
    QString qStrError;           // why not, or the first decoding error
    QString qStrFormat;          // container format names, e.g. "mov,mp4,m4a,3gp,3g2,mj2"
    QString qStrCodec;           // e.g. "h264"
    int nWidth = 0;
    int nHeight = 0;
    double fDurationSec = 0;     // as the container states it (0 when it states none)
    int nFrameCount = 0;         // frames decoded
    int nDecodeErrors = 0;       // packets or frames the decoder refused
    QVector<double> vecPtsSec;   // presentation time of every decoded frame, from the first
    double fEndSec = 0;          // end of the last decoded frame (its time plus duration)
    qint64 nCreationTime = 0;    // seconds since 1970 from the container's creation time, or 0
};

// Called for each decoded frame with its index, presentation time and picture (8-bit BGR).
using FrameVisitor = std::function<void(int nIndex, double fPtsSec, const cv::Mat& matBgr)>;
// Called for each decoded frame with its planar 4:2:0 picture: Y full size, U and V halved.
using PlaneVisitor = std::function<void(int nIndex, const cv::Mat& matY, const cv::Mat& matU, const cv::Mat& matV)>;

MediaInfo probeMedia(const QString& qStrPath, const FrameVisitor& fnFrame = {}, const PlaneVisitor& fnPlanes = {});

} // namespace TestSupport
