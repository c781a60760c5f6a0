// Writes the client's image set into a folder (resources/Skin/ by default via regen.sh).
// Usage: thermava_skingen <output folder>

#include "GifWriter.h"
#include "SkinPainter.h"

#include <QDir>
#include <QGuiApplication>
#include <QTextStream>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QTextStream err(stderr);
    QTextStream out(stdout);
    if (argc == 3 && QByteArray(argv[1]) == "--icons") {
        // The application icon in the hicolor theme's layout: <size>x<size>/apps/thermava.png.
        int nFailed = 0;
        for (int nSize : {16, 32, 48, 64, 128, 256}) {
            const QString qStrDir = QString("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[2])).arg(nSize);
            const QString qStrPath = qStrDir + "/thermava.png";
            if (!QDir().mkpath(qStrDir) || !SkinPainter::appIcon(nSize).save(qStrPath, "PNG")) {
                err << "failed: " << qStrPath << "\n";
                ++nFailed;
            } else {
                out << qStrPath << "\n";
            }
        }
        return nFailed == 0 ? 0 : 1;
    }
    if (argc != 2) {
        err << "usage: thermava_skingen <output folder> | --icons <icon theme folder>\n";
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.exists() && !QDir().mkpath(dir.absolutePath())) {
        err << "cannot create " << dir.absolutePath() << "\n";
        return 1;
    }

    int nFailed = 0;
    for (const SkinPainter::SkinImage& item : SkinPainter::stillImages()) {
        const QString qStrPath = dir.filePath(item.qStrName);
        if (!item.image.save(qStrPath, "PNG")) {
            err << "failed: " << qStrPath << "\n";
            ++nFailed;
            continue;
        }
        out << item.qStrName << " " << item.image.width() << "x" << item.image.height() << "\n";
    }

    const QString qStrGif = dir.filePath("loading.gif");
    const QVector<QImage> frames = SkinPainter::loadingFrames();
    if (!GifWriter::write(qStrGif, frames, SkinPainter::kLoadingFrameMs)) {
        err << "failed: " << qStrGif << "\n";
        ++nFailed;
    } else {
        out << "loading.gif " << frames.first().width() << "x" << frames.first().height() << ", "
            << frames.size() << " frames\n";
    }
    return nFailed == 0 ? 0 : 1;
}
