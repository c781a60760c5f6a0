#pragma once
// Vector drawings of the client's images: flat icons on transparent backgrounds, the button
// plates, the palette swatches and the emblem.

#include <QImage>
#include <QString>
#include <QVector>

namespace SkinPainter {

struct SkinImage
{
    QString qStrName; // file name inside resources/Skin/
    QImage image;     // ARGB32, not premultiplied
};

// Every still image of the set, in a stable order.
QVector<SkinImage> stillImages();

// The application icon (the emblem on its opaque disc) at nSize x nSize pixels, for the
// desktop's icon theme; small sizes leave out the fine scale marks.
QImage appIcon(int nSize);

// Frames of the busy animation loading.gif.
QVector<QImage> loadingFrames();
constexpr int kLoadingFrameMs = 80;

} // namespace SkinPainter
