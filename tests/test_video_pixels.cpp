// Pixel work of the video engine: palettes, gamma, rotation, I420 conversion, enlargement,
// zoom crop, conversion to BGR and the logo stamp.
#include "measure/BurnIn.h"
#include "video/ImageOps.h"
#include "video/Palette.h"

#include <QImage>
#include <QtTest>
#include <opencv2/imgproc.hpp>
#include <random>
#include <set>

namespace {

std::vector<uint8_t> randomFrame(int w, int h, uint32_t nSeed)
{
    std::mt19937 rng(nSeed);
    std::vector<uint8_t> v(size_t(w) * size_t(h) * 2);
    for (auto& b : v)
        b = uint8_t(rng());
    return v;
}

uint8_t lumaAt(const std::vector<uint8_t>& f, int w, int x, int y) { return f[(size_t(y) * w + x) * 2 + 1]; }
// U and V of the pixel pair holding pixel (x, y).
std::pair<uint8_t, uint8_t> chromaAt(const std::vector<uint8_t>& f, int w, int x, int y)
{
    const size_t g = (size_t(y) * w + (x & ~1)) * 2;
    return {f[g], f[g + 2]};
}

} // namespace

class TestVideoPixels : public QObject
{
    Q_OBJECT

private slots:
    void tellingRowsAreExact()
    {
        const int levels[17] = {0, 16, 32, 48, 64, 80, 96, 112, 128, 144, 160, 176, 192, 208, 224, 240, 255};
        const uint32_t white[17] = {0x118080, 0x198080, 0x238080, 0x308080, 0x3D8080, 0x4C8080, 0x5C8080, 0x6D8080, 0x7E8080,
                                    0x8F8080, 0x9F8080, 0xB08080, 0xBE8080, 0xCC8080, 0xD98080, 0xE38080, 0xEA8080};
        const uint32_t black[17] = {0xFE8080, 0xEE8080, 0xDE8080, 0xCE8080, 0xBF8080, 0xAF8080, 0x9F8080, 0x8F8080, 0x7F8080,
                                    0x6F8080, 0x5F8080, 0x4F8080, 0x408080, 0x308080, 0x208080, 0x108080, 0x018080};
        const uint32_t rainbow[17] = {0x1DFE6A, 0x53E061, 0x8AC257, 0xC0A34E, 0xA88E4E, 0x88784F, 0x68614F, 0x7E525E, 0xA24571,
                                      0xC53783, 0xC4358E, 0xB23799, 0x9F3AA3, 0x8D3EB2, 0x7746C8, 0x614DDE, 0x4B55F2};
        const uint32_t iron[17] = {0x07947D, 0x119C86, 0x169B8E, 0x1C9A97, 0x21999F, 0x2798A8, 0x2C96B0, 0x3295B8, 0x3794C1,
                                   0x3E91CA, 0x498BD4, 0x5E7AD8, 0x845ACF, 0xAA3AC6, 0xC72DB0, 0xE13297, 0xF15788};
        for (int i = 0; i < 17; ++i) {
            QCOMPARE(Palette::entry(Palette::kWhiteHot, levels[i]), white[i]);
            QCOMPARE(Palette::entry(Palette::kBlackHot, levels[i]), black[i]);
            QCOMPARE(Palette::entry(Palette::kRainbow, levels[i]), rainbow[i]);
            QCOMPARE(Palette::entry(Palette::kIronRed, levels[i]), iron[i]);
        }
        // Between two rows each component moves monotonically from one row's value to the next.
        for (int id : {Palette::kWhiteHot, Palette::kBlackHot, Palette::kRainbow, Palette::kIronRed}) {
            const uint32_t* t = Palette::table(id);
            for (int r = 0; r < 16; ++r) {
                for (int shift : {16, 8, 0}) {
                    const int a = (t[levels[r]] >> shift) & 0xFF;
                    const int b = (t[levels[r + 1]] >> shift) & 0xFF;
                    for (int l = levels[r]; l < levels[r + 1]; ++l) {
                        const int c0 = (t[l] >> shift) & 0xFF;
                        const int c1 = (t[l + 1] >> shift) & 0xFF;
                        QVERIFY2((b - a) * (c1 - c0) >= 0, qPrintable(QString("palette %1 level %2").arg(id).arg(l)));
                        QVERIFY(std::abs(c1 - c0) <= std::abs(b - a) / (levels[r + 1] - levels[r]) + 1);
                    }
                }
            }
        }
    }

    void greyPalettes()
    {
        // WhiteHot rises 17 .. 234, BlackHot falls 254 .. 1 in steps of one with two repeats.
        const uint32_t* white = Palette::table(Palette::kWhiteHot);
        const uint32_t* black = Palette::table(Palette::kBlackHot);
        int nRepeats = 0;
        for (int l = 0; l < 256; ++l) {
            QCOMPARE(Palette::entryU(white[l]), uint8_t(128));
            QCOMPARE(Palette::entryV(black[l]), uint8_t(128));
            if (l > 0) {
                QVERIFY(Palette::entryY(white[l]) >= Palette::entryY(white[l - 1]));
                const int d = int(Palette::entryY(black[l])) - int(Palette::entryY(black[l - 1]));
                QVERIFY(d == 0 || d == -1);
                nRepeats += d == 0;
            }
        }
        QCOMPARE(nRepeats, 2);
        QCOMPARE(Palette::entryY(white[0]), uint8_t(17));
        QCOMPARE(Palette::entryY(white[255]), uint8_t(234));
    }

    void everyPaletteIsUsableAndSafe()
    {
        std::set<std::vector<uint32_t>> distinct;
        for (int id = 0; id < Palette::kCount; ++id) {
            const uint32_t* t = Palette::table(id);
            QVERIFY(t);
            for (int l = 0; l < 256; ++l) {
                QCOMPARE(t[l] >> 24, 0u);
                QVERIFY2(Palette::entryY(t[l]) && Palette::entryU(t[l]) && Palette::entryV(t[l]),
                         qPrintable(QString("zero byte in palette %1 level %2").arg(id).arg(l)));
            }
            // A usable thermal ramp spans a wide range of brightness.
            int nMinY = 255, nMaxY = 0;
            for (int l = 0; l < 256; ++l) {
                nMinY = std::min(nMinY, int(Palette::entryY(t[l])));
                nMaxY = std::max(nMaxY, int(Palette::entryY(t[l])));
            }
            QVERIFY2(nMaxY - nMinY > 100, qPrintable(QString("palette %1").arg(id)));
            distinct.insert(std::vector<uint32_t>(t, t + 256));
        }
        QCOMPARE(int(distinct.size()), Palette::kCount);
        // Ids outside the table give nothing instead of reading past it.
        for (int id : {-1, 14, 15, 255, 1 << 20}) {
            QVERIFY(!Palette::table(id));
            QCOMPARE(Palette::entry(id, 10), 0u);
        }
        QCOMPARE(Palette::entry(Palette::kIronRed, 300), Palette::entry(Palette::kIronRed, 255));
        QCOMPARE(Palette::entry(Palette::kIronRed, -5), Palette::entry(Palette::kIronRed, 0));
    }

    void lookupColoursByTheFirstPixel()
    {
        uint8_t y[256], u[256], v[256];
        Palette::split(Palette::table(Palette::kIronRed), y, u, v);
        std::vector<uint8_t> f = {7, 0, 9, 255, 1, 128, 2, 16};
        Palette::applyLookup(f.data(), f.size(), y, u, v);
        const uint32_t e0 = Palette::entry(Palette::kIronRed, 0);
        const uint32_t e255 = Palette::entry(Palette::kIronRed, 255);
        const uint32_t e128 = Palette::entry(Palette::kIronRed, 128);
        const uint32_t e16 = Palette::entry(Palette::kIronRed, 16);
        const std::vector<uint8_t> expected = {Palette::entryU(e0), Palette::entryY(e0), Palette::entryV(e0),
                                               Palette::entryY(e255), Palette::entryU(e128), Palette::entryY(e128),
                                               Palette::entryV(e128), Palette::entryY(e16)};
        QCOMPARE(f, expected);

        // Folding the gamma table into the lookup equals gamma first, lookup second.
        float g[256];
        uint8_t gb[256];
        ImageOps::buildGammaTable(g);
        ImageOps::gammaBytes(g, gb);
        std::vector<uint8_t> a = randomFrame(16, 4, 3), b = a;
        Palette::applyLookup(a.data(), a.size(), y, u, v, gb);
        Palette::applyLumaTable(b.data(), b.size(), gb);
        Palette::applyLookup(b.data(), b.size(), y, u, v);
        QCOMPARE(a, b);
    }

    void gammaTable()
    {
        float g[256];
        ImageOps::buildGammaTable(g);
        QCOMPARE(g[0], 0.0f);
        QCOMPARE(g[2], 0.0f);
        QCOMPARE(g[16], 4.0f);
        QCOMPARE(g[64], 35.0f);
        QCOMPARE(g[128], 95.0f);
        QCOMPARE(g[200], 180.0f);
        QCOMPARE(g[254], 253.0f);
        QCOMPARE(g[255], 255.0f);
        for (int i = 1; i < 256; ++i)
            QVERIFY(g[i] >= g[i - 1]);
        uint8_t b[256];
        ImageOps::gammaBytes(g, b);
        std::vector<uint8_t> f = {100, 128, 100, 255};
        Palette::applyLumaTable(f.data(), f.size(), b);
        QCOMPARE(f, (std::vector<uint8_t>{100, 95, 100, 255}));
    }

    void rotationMatchesPixelReference()
    {
        const int W = 12, H = 8;
        const std::vector<uint8_t> src = randomFrame(W, H, 7);
        for (int state : {1, 2, 3}) {
            std::vector<uint8_t> dst(src.size());
            ImageOps::rotateUyvy(src.data(), dst.data(), W, H, state);
            const int nw = state == 2 ? W : H;
            const int nh = state == 2 ? H : W;
            for (int y = 0; y < nh; ++y) {
                for (int x = 0; x < nw; ++x) {
                    int ox = 0, oy = 0;
                    if (state == 1) { ox = y; oy = H - 1 - x; }
                    if (state == 2) { ox = W - 1 - x; oy = H - 1 - y; }
                    if (state == 3) { ox = W - 1 - y; oy = x; }
                    QCOMPARE(lumaAt(dst, nw, x, y), lumaAt(src, W, ox, oy));
                }
                // Chroma of each new pair: that of the old pair holding one of its two pixels
                // (quarter turns alternate which one row by row; a half turn keeps the pair).
                for (int x = 0; x < nw; x += 2) {
                    int k = x;
                    if (state == 1) k = (y & 1) ? x + 1 : x;
                    if (state == 3) k = (y & 1) ? x : x + 1;
                    int ox = 0, oy = 0;
                    if (state == 1) { ox = y; oy = H - 1 - k; }
                    if (state == 2) { ox = W - 1 - k; oy = H - 1 - y; }
                    if (state == 3) { ox = W - 1 - y; oy = k; }
                    QCOMPARE(chromaAt(dst, nw, x, y), chromaAt(src, W, ox, oy));
                }
            }
        }
    }

    void rotationRoundTripsAndSizes()
    {
        int W = 256, H = 192;
        const std::vector<uint8_t> src = randomFrame(W, H, 11);
        std::vector<uint8_t> buf = src, scratch(src.size());

        // A quarter turn clockwise: 192 x 256, top-left pixel is the old bottom-left one.
        ImageOps::rotateUyvyInPlace(buf.data(), W, H, 1, scratch.data());
        QCOMPARE(W, 192);
        QCOMPARE(H, 256);
        QCOMPARE(buf[1], lumaAt(src, 256, 0, 191));
        for (int i = 0; i < 3; ++i)
            ImageOps::rotateUyvyInPlace(buf.data(), W, H, 1, scratch.data());
        QCOMPARE(W, 256);
        QCOMPARE(H, 192);
        QVERIFY(buf == src);

        for (int i = 0; i < 4; ++i)
            ImageOps::rotateUyvyInPlace(buf.data(), W, H, 3, scratch.data());
        QVERIFY(buf == src);

        ImageOps::rotateUyvyInPlace(buf.data(), W, H, 2, nullptr);
        QVERIFY(buf != src);
        ImageOps::rotateUyvyInPlace(buf.data(), W, H, 2, nullptr);
        QVERIFY(buf == src);

        // Clockwise then counter-clockwise is the identity too.
        ImageOps::rotateUyvyInPlace(buf.data(), W, H, 1, scratch.data());
        ImageOps::rotateUyvyInPlace(buf.data(), W, H, 3, scratch.data());
        QVERIFY(buf == src);
        ImageOps::rotateUyvyInPlace(buf.data(), W, H, 0, nullptr);
        QVERIFY(buf == src);
    }

    void i420TakesChromaFromEvenRows()
    {
        // 4 x 2: row 0 pairs (U, Y, V, Y) = (10,1,20,2) (30,3,40,4); row 1 (50,5,60,6) (70,7,80,8).
        const std::vector<uint8_t> src = {10, 1, 20, 2, 30, 3, 40, 4, 50, 5, 60, 6, 70, 7, 80, 8};
        std::vector<uint8_t> dst(12, 0xEE);
        ImageOps::uyvyToI420(src.data(), 4, 2, dst.data());
        QCOMPARE(dst, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 10, 30, 20, 40}));
    }

    void enlargementIsBicubicPerPlane()
    {
        // Byte for byte OpenCV's bicubic resize, plane by plane, for the camera's sizes, the
        // rotated and doubled ones, and small frames where the replicated border dominates.
        const QList<QSize> sizes = {{256, 192}, {192, 256}, {512, 384}, {2, 2}, {6, 4}, {34, 18}};
        std::mt19937 rng(5);
        for (const QSize& sz : sizes) {
            const int W = sz.width(), H = sz.height();
            std::vector<uint8_t> i420(W * H * 3 / 2);
            for (auto& b : i420)
                b = uint8_t(rng());
            // Hard edges too: they push the kernel's overshoot into saturation.
            for (int x = 0; x < W / 2; ++x)
                i420[x] = 255;
            std::vector<uint8_t> big(i420.size() * 16, 0);
            ImageOps::enlargeI420x4(i420.data(), W, H, big.data());
            const cv::Mat y(H, W, CV_8UC1, i420.data()), u(H / 2, W / 2, CV_8UC1, i420.data() + W * H),
                v(H / 2, W / 2, CV_8UC1, i420.data() + W * H * 5 / 4);
            cv::Mat ry, ru, rv;
            cv::resize(y, ry, cv::Size(4 * W, 4 * H), 0, 0, cv::INTER_CUBIC);
            cv::resize(u, ru, cv::Size(2 * W, 2 * H), 0, 0, cv::INTER_CUBIC);
            cv::resize(v, rv, cv::Size(2 * W, 2 * H), 0, 0, cv::INTER_CUBIC);
            QVERIFY2(std::equal(ry.datastart, ry.dataend, big.begin()), qPrintable(QString("Y %1x%2").arg(W).arg(H)));
            QVERIFY(std::equal(ru.datastart, ru.dataend, big.begin() + 16 * W * H));
            QVERIFY(std::equal(rv.datastart, rv.dataend, big.begin() + 20 * W * H));
        }
    }

    void zoomOffsets()
    {
        using ImageOps::zoomOffsets;
        auto check = [](ImageOps::ZoomOffsets z, int l, int t) { return z.nLeft == l && z.nTop == t; };
        QVERIFY(check(zoomOffsets(0, 4, 256, 192, 1, 0), 0, 0));
        QVERIFY(check(zoomOffsets(1, 4, 256, 192, 1, 0), 32, 24));
        QVERIFY(check(zoomOffsets(1, 4, 256, 192, 2, 0), 64, 48));
        QVERIFY(check(zoomOffsets(1, 4, 256, 192, 1, 1), 24, 32));
        QVERIFY(check(zoomOffsets(1, 4, 256, 192, 1, 3), 24, 32));
        QVERIFY(check(zoomOffsets(1, 4, 256, 192, 1, 2), 32, 24));
        // The deepest level of the slider is the last table entry: a 192 x 144 crop.
        QVERIFY(check(zoomOffsets(15, 4, 256, 192, 1, 0), (1024 - 192) / 2, (768 - 144) / 2));
        QVERIFY(check(zoomOffsets(40, 4, 256, 192, 1, 0), (1024 - 192) / 2, (768 - 144) / 2));
        // 512 x 384 frames use the table from its start.
        QVERIFY(check(zoomOffsets(0, 0, 512, 384, 1, 0), 0, 0));
        QVERIFY(check(zoomOffsets(2, 0, 512, 384, 1, 0), 256, 192));
        // Nothing known yet, or a negative level: the whole picture.
        QVERIFY(check(zoomOffsets(3, 4, 0, 0, 1, 0), 0, 0));
        QVERIFY(check(zoomOffsets(-1, 4, 256, 192, 1, 0), 0, 0));
        // A picture smaller than the crop never yields a huge offset.
        QVERIFY(check(zoomOffsets(0, 0, 256, 192, 1, 0), 0, 0));
    }

    void toBgrKnownColours()
    {
        // Studio-range white, black and red in UYVY.
        const std::vector<uint8_t> f = {128, 235, 128, 235, 128, 16, 128, 16, 90, 81, 240, 81};
        const cv::Mat white = ImageOps::uyvyToBgr(f.data(), 2, 1);
        const cv::Mat black = ImageOps::uyvyToBgr(f.data() + 4, 2, 1);
        const cv::Mat red = ImageOps::uyvyToBgr(f.data() + 8, 2, 1);
        QCOMPARE(white.type(), CV_8UC3);
        auto near = [](const cv::Mat& m, int b, int g, int r) {
            const cv::Vec3b p = m.at<cv::Vec3b>(0, 1);
            return std::abs(p[0] - b) <= 3 && std::abs(p[1] - g) <= 3 && std::abs(p[2] - r) <= 3;
        };
        QVERIFY(near(white, 255, 255, 255));
        QVERIFY(near(black, 0, 0, 0));
        QVERIFY(near(red, 0, 0, 255));
        QVERIFY(ImageOps::uyvyToBgr(nullptr, 2, 1).empty());
    }

    void logoBlendAndPlacement()
    {
        cv::Mat image(60, 60, CV_8UC3, cv::Scalar(200, 100, 50));
        cv::Mat logo(25, 25, CV_8UC4, cv::Scalar(100, 0, 255, 128));
        logo.at<cv::Vec4b>(0, 0) = cv::Vec4b(0, 0, 0, 0);        // transparent corner
        logo.at<cv::Vec4b>(24, 24) = cv::Vec4b(9, 9, 9, 255);    // opaque corner
        ImageOps::stampLogo(image, logo);
        // channel x (255 - a) / 255 rounded, plus logo x a / 255 rounded.
        const cv::Vec3b mid = image.at<cv::Vec3b>(20, 20);
        QCOMPARE(mid, cv::Vec3b(100 + 50, 50 + 0, 25 + 128));
        QCOMPARE(image.at<cv::Vec3b>(10, 10), cv::Vec3b(200, 100, 50));
        QCOMPARE(image.at<cv::Vec3b>(34, 34), cv::Vec3b(9, 9, 9));
        // Outside 10 .. 34 nothing changes.
        QCOMPARE(image.at<cv::Vec3b>(9, 20), cv::Vec3b(200, 100, 50));
        QCOMPARE(image.at<cv::Vec3b>(20, 9), cv::Vec3b(200, 100, 50));
        QCOMPARE(image.at<cv::Vec3b>(35, 20), cv::Vec3b(200, 100, 50));
        QCOMPARE(image.at<cv::Vec3b>(20, 35), cv::Vec3b(200, 100, 50));

        // Only 3-channel images with a 4-channel logo are stamped.
        cv::Mat four(60, 60, CV_8UC4, cv::Scalar(1, 2, 3, 4));
        ImageOps::stampLogo(four, logo);
        QCOMPARE(four.at<cv::Vec4b>(20, 20), cv::Vec4b(1, 2, 3, 4));
        cv::Mat three(60, 60, CV_8UC3, cv::Scalar(1, 2, 3));
        ImageOps::stampLogo(three, cv::Mat(25, 25, CV_8UC3, cv::Scalar(200, 200, 200)));
        ImageOps::stampLogo(three, cv::Mat());
        QCOMPARE(three.at<cv::Vec3b>(20, 20), cv::Vec3b(1, 2, 3));

        // A picture smaller than the logo's place is clipped, not refused with an exception.
        cv::Mat small(20, 30, CV_8UC3, cv::Scalar(200, 100, 50));
        ImageOps::stampLogo(small, logo);
        QCOMPARE(small.at<cv::Vec3b>(15, 15), cv::Vec3b(150, 50, 153));
        cv::Mat tiny(8, 8, CV_8UC3, cv::Scalar(7, 7, 7));
        ImageOps::stampLogo(tiny, logo);
        QCOMPARE(tiny.at<cv::Vec3b>(7, 7), cv::Vec3b(7, 7, 7));
    }

    // "Show with rules" in recordings: opaque overlay pixels replace the picture, transparent
    // ones leave it alone, and an overlay of another size draws nothing.
    void burnInOverlay()
    {
        std::vector<uint8_t> frame(4 * 2 * 2, 0x80);
        QImage overlay(4, 2, QImage::Format_ARGB32);
        overlay.fill(Qt::transparent);
        overlay.setPixel(3, 1, qRgba(255, 255, 255, 255));
        QVERIFY(BurnIn::blendImage(overlay, frame.data(), 4, 2));
        QCOMPARE(int(frame[(1 * 4 + 3) * 2 + 1]), 235);   // white in studio range
        QCOMPARE(int(frame[(1 * 4 + 2) * 2 + 1]), 0x80);  // its transparent neighbour
        QCOMPARE(int(frame[1]), 0x80);
        QVERIFY(!BurnIn::blendImage(overlay, frame.data(), 2, 4));
    }
};

QTEST_APPLESS_MAIN(TestVideoPixels)
#include "test_video_pixels.moc"
