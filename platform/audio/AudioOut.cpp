#include "platform/audio/AudioOut.h"

#include <QFile>
#include <QMutex>
#include <SDL.h>
#include <cstring>

namespace AudioOut {

namespace {

QMutex g_Mutex;
SDL_AudioDeviceID g_nDevice = 0;
bool g_bTried = false;
QString g_qStrOpenError;

// Opens the output once; later calls reuse it (or its failure). Called with g_Mutex held.
bool openDevice(QString* pError)
{
    if (!g_bTried) {
        g_bTried = true;
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            g_qStrOpenError = QStringLiteral("no audio output: %1").arg(QString::fromUtf8(SDL_GetError()));
        } else {
            SDL_AudioSpec want{};
            want.freq = kSampleRate;
            want.format = AUDIO_S16SYS;
            want.channels = 1;
            want.samples = 1024;
            g_nDevice = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
            if (g_nDevice == 0)
                g_qStrOpenError = QStringLiteral("no audio output: %1").arg(QString::fromUtf8(SDL_GetError()));
            else
                SDL_PauseAudioDevice(g_nDevice, 0);
        }
    }
    if (g_nDevice == 0 && pError)
        *pError = g_qStrOpenError;
    return g_nDevice != 0;
}

} // namespace

bool playSamples(const std::vector<int16_t>& samples, QString* pError)
{
    QMutexLocker lock(&g_Mutex);
    if (!openDevice(pError))
        return false;
    if (SDL_QueueAudio(g_nDevice, samples.data(), Uint32(samples.size() * sizeof(int16_t))) != 0) {
        if (pError)
            *pError = QStringLiteral("sound not played: %1").arg(QString::fromUtf8(SDL_GetError()));
        return false;
    }
    return true;
}

bool playWavFile(const QString& qStrPath, QString* pError)
{
    SDL_AudioSpec spec{};
    Uint8* pData = nullptr;
    Uint32 nLen = 0;
    if (!SDL_LoadWAV(QFile::encodeName(qStrPath).constData(), &spec, &pData, &nLen)) {
        if (pError)
            *pError = QStringLiteral("cannot play %1: %2").arg(qStrPath, QString::fromUtf8(SDL_GetError()));
        return false;
    }
    SDL_AudioCVT cvt;
    if (SDL_BuildAudioCVT(&cvt, spec.format, spec.channels, spec.freq, AUDIO_S16SYS, 1, kSampleRate) < 0) {
        SDL_FreeWAV(pData);
        if (pError)
            *pError = QStringLiteral("cannot play %1: %2").arg(qStrPath, QString::fromUtf8(SDL_GetError()));
        return false;
    }
    std::vector<uint8_t> buffer(size_t(nLen) * size_t(cvt.len_mult) + 16);
    std::memcpy(buffer.data(), pData, nLen);
    SDL_FreeWAV(pData);
    cvt.buf = buffer.data();
    cvt.len = int(nLen);
    if (cvt.needed && SDL_ConvertAudio(&cvt) != 0) {
        if (pError)
            *pError = QStringLiteral("cannot play %1: %2").arg(qStrPath, QString::fromUtf8(SDL_GetError()));
        return false;
    }
    std::vector<int16_t> samples(size_t(cvt.len_cvt) / sizeof(int16_t));
    std::memcpy(samples.data(), buffer.data(), samples.size() * sizeof(int16_t));
    return playSamples(samples, pError);
}

} // namespace AudioOut
