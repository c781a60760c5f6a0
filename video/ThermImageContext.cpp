#include "video/ThermImageContext.h"

#include <QMutexLocker>

ThermImageContext& ThermImageContext::instance()
{
    static ThermImageContext s_context;
    return s_context;
}

ThermImageContext::ThermImageContext()
{
    for (int i = 0; i < 256; ++i)
        m_GreyRamp[i] = uint8_t(i);
}

ThermImageContext::~ThermImageContext()
{
    m_bAutoRange = true;
}

void ThermImageContext::setLumaPlane(const std::vector<uint8_t>& plane)
{
    QMutexLocker lock(&m_LumaMutex);
    m_LumaPlane = plane;
}

std::vector<uint8_t> ThermImageContext::lumaPlane()
{
    QMutexLocker lock(&m_LumaMutex);
    return m_LumaPlane;
}
