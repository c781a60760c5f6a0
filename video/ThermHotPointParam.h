#pragma once
// Hot point and scene temperatures of one measurement, carried from the thermal data
// worker to the live view and the video engine.

#include <QMetaType>
#include <cstdint>

struct ThermHotPointParam
{
    int32_t nPosX = 0;         // column of the hottest pixel, frame pixels
    int32_t nPosY = 0;         // row of the hottest pixel, frame pixels
    float fMinTemper = 0.0f;   // scene minimum, degrees Celsius
    float fMaxTemper = 0.0f;   // scene maximum (the hot point), degrees Celsius
};

Q_DECLARE_TYPEINFO(ThermHotPointParam, Q_MOVABLE_TYPE);
Q_DECLARE_METATYPE(ThermHotPointParam)
