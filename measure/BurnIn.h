#pragma once
// What "Show with rules" draws into recordings: the live view keeps one transparent picture of
// the measurement items and their labels (picture size, rotation applied), and the video engine
// blends it into every frame it encodes. Thread-safe; an empty picture draws nothing.

#include <QImage>
#include <cstdint>

namespace BurnIn {

void setOverlay(const QImage& overlay);   // ARGB32; a null image clears it
void clear();
// Blends the overlay into a packed UYVY picture of nWidth x nHeight when the sizes match.
// Returns whether anything was drawn.
bool blendInto(uint8_t* pUyvy, int nWidth, int nHeight);
// The same on a given overlay (tests).
bool blendImage(const QImage& overlay, uint8_t* pUyvy, int nWidth, int nHeight);

} // namespace BurnIn
