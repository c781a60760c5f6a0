// thermava-fwgen: builds a firmware file (.bin) for the upgrade page or thermava-cli upgrade.
// The image is filler (or a file of your choice); the header carries a correct CRC-32 and
// the checks asked for, unless --bad-crc or --size break the file on purpose.
//
//   thermava-fwgen -o ok.bin                          64 KiB image, no checks
//   thermava-fwgen -o sim.bin --match-sim             checks that the simulated camera passes
//   thermava-fwgen -o wrong.bin --platform A7         platform check the camera fails
//   thermava-fwgen -o crc.bin --bad-crc               CRC that does not match
//   thermava-fwgen -o short.bin --size 100            too short to be checked
//   thermava-fwgen -o empty.bin --size 131072         header only, no image

#include "maintenance/FirmwareImage.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <cstdio>

namespace {

int fail(const QString& message)
{
    std::fprintf(stderr, "thermava-fwgen: %s\n", message.toLocal8Bit().constData());
    return 2;
}

bool readNumber(const QString& text, qint64 nMin, qint64 nMax, qint64* pnValue)
{
    bool bOk = false;
    const qint64 n = text.toLongLong(&bOk, 0);
    if (!bOk || n < nMin || n > nMax)
        return false;
    *pnValue = n;
    return true;
}

// Platform codes by the two letters the camera reports, or a number.
bool readPlatform(const QString& text, uint32_t* pnCode)
{
    const struct { const char* name; uint32_t code; } kNames[] = {
        {"MS", 4}, {"A4", 2}, {"A5", 1}, {"A7", 8}, {"N6", 64}};
    for (const auto& entry : kNames) {
        if (text.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0) {
            *pnCode = entry.code;
            return true;
        }
    }
    qint64 n = 0;
    if (!readNumber(text, 0, 0xFFFFFFFFLL, &n))
        return false;
    *pnCode = uint32_t(n);
    return true;
}

// Variant codes by the letter the camera reports, or a number.
bool readVariant(const QString& text, uint32_t* pnCode)
{
    if (text.size() == 1) {
        switch (text.at(0).toUpper().toLatin1()) {
        case 'C': *pnCode = 1; return true;
        case 'W': *pnCode = 2; return true;
        case 'M': *pnCode = 4; return true;
        default: break;
        }
    }
    qint64 n = 0;
    if (!readNumber(text, 0, 0xFFFFFFFFLL, &n))
        return false;
    *pnCode = uint32_t(n);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("thermava-fwgen"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Write a firmware file for the camera upgrade."));
    parser.addHelpOption();
    const QCommandLineOption outOpt({"o", "output"}, "File to write.", "file");
    const QCommandLineOption imageSizeOpt("image-size", "Bytes of filler image (default 65536).", "bytes");
    const QCommandLineOption imageOpt("image", "Use the bytes of this file as the image.", "file");
    const QCommandLineOption seedOpt("seed", "Seed of the filler image (default 1).", "n");
    const QCommandLineOption platformOpt("platform", "Enable the platform check: MS, A4, A5, A7, N6 or a number.", "code");
    const QCommandLineOption sensorOpt("sensor", "Enable the sensor class check (4, 8, 1, 2, 64; 32 stands for 2).", "class");
    const QCommandLineOption variantOpt("variant", "Enable the variant check: C, W, M or a number.", "code");
    const QCommandLineOption matchSimOpt("match-sim", "Enable all three checks with the simulated camera's codes (MS, 4, C).");
    const QCommandLineOption badCrcOpt("bad-crc", "Store a CRC-32 that does not match the file.");
    const QCommandLineOption sizeOpt("size", "Total file size; below 131072 the file is header only.", "bytes");
    parser.addOptions({outOpt, imageSizeOpt, imageOpt, seedOpt, platformOpt, sensorOpt, variantOpt, matchSimOpt,
                       badCrcOpt, sizeOpt});
    parser.process(app);

    if (!parser.isSet(outOpt))
        return fail(QStringLiteral("no output file given (-o)"));
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));
    const int nImageSources = int(parser.isSet(imageSizeOpt)) + int(parser.isSet(imageOpt)) + int(parser.isSet(sizeOpt));
    if (nImageSources > 1)
        return fail(QStringLiteral("--image-size, --image and --size exclude each other"));

    Firmware::BuildOptions options;
    qint64 nSeed = 1;
    if (parser.isSet(seedOpt) && !readNumber(parser.value(seedOpt), 0, 0xFFFFFFFFLL, &nSeed))
        return fail(QStringLiteral("bad --seed"));

    qint64 nImageLen = 65536;
    if (parser.isSet(imageSizeOpt) &&
        !readNumber(parser.value(imageSizeOpt), 0, Firmware::kMaxFileSize - Firmware::kHeaderRegionSize, &nImageLen))
        return fail(QStringLiteral("bad --image-size"));
    if (parser.isSet(sizeOpt)) {
        qint64 nSize = 0;
        if (!readNumber(parser.value(sizeOpt), 0, Firmware::kMaxFileSize, &nSize))
            return fail(QStringLiteral("bad --size"));
        if (nSize < Firmware::kHeaderRegionSize) {
            options.nHeaderBytes = nSize;
            nImageLen = 0;
        } else {
            nImageLen = nSize - Firmware::kHeaderRegionSize;
        }
    }
    if (parser.isSet(imageOpt)) {
        QFile image(parser.value(imageOpt));
        if (!image.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("cannot read %1").arg(image.fileName()));
        options.image = image.readAll();
    } else {
        options.image = Firmware::patternImage(nImageLen, uint32_t(nSeed));
    }

    if (parser.isSet(matchSimOpt)) {
        options.bPlatformCheck = options.bSensorCheck = options.bVariantCheck = true;
        options.nPlatform = 4;
        options.nSensorClass = 4;
        options.nVariant = 1;
    }
    if (parser.isSet(platformOpt)) {
        options.bPlatformCheck = true;
        if (!readPlatform(parser.value(platformOpt), &options.nPlatform))
            return fail(QStringLiteral("bad --platform"));
    }
    if (parser.isSet(sensorOpt)) {
        qint64 n = 0;
        if (!readNumber(parser.value(sensorOpt), 0, 0xFFFFFFFFLL, &n))
            return fail(QStringLiteral("bad --sensor"));
        options.bSensorCheck = true;
        options.nSensorClass = uint32_t(n);
    }
    if (parser.isSet(variantOpt)) {
        options.bVariantCheck = true;
        if (!readVariant(parser.value(variantOpt), &options.nVariant))
            return fail(QStringLiteral("bad --variant"));
    }
    options.bBreakCrc = parser.isSet(badCrcOpt);

    const QByteArray file = Firmware::buildFile(options);
    QFile out(parser.value(outOpt));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(file) != file.size() || !out.flush())
        return fail(QStringLiteral("cannot write %1").arg(out.fileName()));

    const auto check = [](bool bOn, uint32_t n) { return bOn ? QString::number(n) : QStringLiteral("off"); };
    const qint64 nImage = std::max<qint64>(0, file.size() - Firmware::kHeaderRegionSize);
    const QString summary =
        QStringLiteral("%1: %2 bytes, image %3 bytes, CRC %4%5, platform %6, sensor %7, variant %8\n")
            .arg(out.fileName())
            .arg(file.size())
            .arg(nImage)
            .arg(file.size() >= Firmware::kCrcFieldOffset + 4
                     ? QString::fromLatin1(file.mid(Firmware::kCrcFieldOffset, 4).toHex())
                     : QStringLiteral("none"))
            .arg(options.bBreakCrc ? QStringLiteral(" (broken)") : QString())
            .arg(check(options.bPlatformCheck, options.nPlatform), check(options.bSensorCheck, options.nSensorClass),
                 check(options.bVariantCheck, options.nVariant));
    std::fputs(summary.toLocal8Bit().constData(), stdout);
    return 0;
}
