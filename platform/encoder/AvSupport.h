#pragma once
// Small helpers shared by the encoder and the MP4 writer.

extern "C" {
#include <libavutil/error.h>
#include <libavutil/log.h>
}

#include <QString>

#include <mutex>

inline QString avErrorText(int nErr)
{
    char sz[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(nErr, sz, sizeof(sz));
    return QString::fromLocal8Bit(sz);
}

// The libraries print per-file statistics at their default level; recording should stay
// quiet unless something goes wrong. A level chosen elsewhere in the process is kept.
inline void quietAvLog()
{
    static std::once_flag s_once;
    std::call_once(s_once, [] {
        if (av_log_get_level() == AV_LOG_INFO)
            av_log_set_level(AV_LOG_WARNING);
    });
}
