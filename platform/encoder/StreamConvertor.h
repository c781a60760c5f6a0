#pragma once
// MP4 writer used by recording, reached through a table that mirrors the ordinals of the
// stream converter library. Each written unit is one encoded picture in Annex B form; the
// writer takes the picture size and SPS/PPS from the first key frame (units before it are
// dropped) and stamps every unit with its arrival time on a monotonic clock, relative to the
// first, so dropped frames and a drifting rate keep the file's duration true.
//
// The file is fragmented MP4 (empty initial moov, a fragment per key frame and at least one
// per second) and every finished fragment is flushed at once, so a process that dies while
// recording leaves a file that plays up to its last second or so. Finish writes the index.
//
// OpenFile results: 0 success (handle set); kStreamConvBadArgument (null pointer, empty
// path); kStreamConvBadKind (nKind other than kStreamConvKindMp4); kStreamConvOpenFailed (the
// file could not be created). SetIntOption knows "mp4_base_time": the file's creation time in
// seconds since 1970, read as unsigned 32 bits; other names are ignored. Finish and Close accept null, unknown and already closed
// handles and do nothing then; Close finishes a file that was not finished.

#include <cstdint>
#include <functional>

constexpr int kStreamConvKindMp4 = 3;
constexpr int kStreamConvBadArgument = -1;
constexpr int kStreamConvBadKind = -2;
constexpr int kStreamConvOpenFailed = -3;

struct StreamConvertorApi
{
    bool (*Init)();                                                               // ordinal 1
    int (*OpenFile)(int nKind, const char* pPath, int nPathLen, void** phMuxer);  // ordinal 6
    void (*SetIntOption)(void* hMuxer, const char* pName, int nValue);            // ordinal 8
    void (*WriteData)(void* hMuxer, const unsigned char* pData, int nLen);        // ordinal 3
    void (*Finish)(void* hMuxer);                                                 // ordinal 7
    void (*Close)(void* hMuxer);                                                  // ordinal 4
    void (*Release)();                                                            // ordinal 5
};

const StreamConvertorApi& streamConvertor();

// Why writing to the file stopped (a full disk, a file size limit, a device gone): the
// negative libav error of the first failed write, or 0 while every write has succeeded and
// for null, unknown or closed handles. WriteData cannot report it itself; a caller asks after
// writing, stops feeding the file and finishes it. What was written before stays playable.
int streamConvertorLastError(void* hMuxer);

// Clock used to stamp written units, in microseconds on any monotonic scale. Tests replace it
// to play back long recordings quickly; an empty function restores the steady clock.
void setStreamConvertorClock(std::function<int64_t()> fnMicros);
