// thermava-cli badpixels get [--json] | set FILE | save: the camera's bad pixel and bad column
// tables. set takes the JSON form that get --json prints and applies the editor's rules first:
// a file with a pixel or column listed twice, adjacent columns or entries outside the image is
// refused and nothing is written.

#include "CliCommand.h"
#include "CliSession.h"
#include "device/UsbCameraLink.h"
#include "maintenance/BadPixelTable.h"
#include "video/VideoGlobals.h"

#include <QCommandLineParser>
#include <QFile>
#include <memory>

namespace {

using BadPixelTable::Pixel;

constexpr int kPixelArraySize = 256;
constexpr int kColumnArraySize = 1024;

struct Tables
{
    QVector<Pixel> pixels;
    QVector<int> columns;
};

// Reads both tables through the executor, as the editor does. False with a reason.
bool readTables(QDevCommExec& exec, Tables* pTables, QString* pError)
{
    std::unique_ptr<int[]> colIndex(new int[kColumnArraySize]());
    std::unique_ptr<int[]> cols(new int[kColumnArraySize]());
    bool bColsOk = false;
    int nColCount = 0;
    {
        const auto c = QObject::connect(&exec, &QDevCommExec::sendGetAllBadColsRetSignal,
                                        [&](bool bRet, int nCount, int*, int*) {
                                            bColsOk = bRet;
                                            nColCount = nCount;
                                        });
        exec.getAllBadColsSlot(colIndex.get(), cols.get());
        QObject::disconnect(c);
    }
    if (!bColsOk || nColCount < 0 || nColCount > kColumnArraySize) {
        *pError = nColCount < 0 ? QStringLiteral("the camera reports more bad columns than the image is wide")
                                : QStringLiteral("could not read the bad column table");
        return false;
    }

    // The executor frees the index array; the row and column arrays come back with the result.
    int* pIndex = new int[kPixelArraySize]();
    std::unique_ptr<int[]> rows(new int[kPixelArraySize]());
    std::unique_ptr<int[]> pixelCols(new int[kPixelArraySize]());
    bool bPixelsOk = false;
    int nPixelCount = 0;
    {
        const auto c = QObject::connect(&exec, &QDevCommExec::sendGetAllBadPixelsRetSignal,
                                        [&](bool bRet, int nCount, int*, int*) {
                                            bPixelsOk = bRet;
                                            nPixelCount = nCount;
                                        });
        exec.getAllBadPixelsSlot(pIndex, rows.get(), pixelCols.get());
        QObject::disconnect(c);
    }
    if (!bPixelsOk || nPixelCount < 0 || nPixelCount > kPixelArraySize) {
        *pError = nPixelCount < 0 ? QStringLiteral("the camera reports more than %1 bad pixels").arg(kPixelArraySize)
                                  : QStringLiteral("could not read the bad pixel table");
        return false;
    }

    pTables->columns.clear();
    for (int i = 0; i < nColCount; ++i)
        pTables->columns << cols[i];
    pTables->pixels.clear();
    for (int i = 0; i < nPixelCount; ++i)
        pTables->pixels << Pixel{pixelCols[i], rows[i]};
    return true;
}

QString tablesText(const Tables& t)
{
    QString text = QStringLiteral("Bad pixels: %1\n").arg(t.pixels.size());
    for (int i = 0; i < t.pixels.size(); ++i)
        text += QStringLiteral("  %1  %2\n").arg(i + 1, 4).arg(BadPixelTable::pixelText(t.pixels[i].x, t.pixels[i].y));
    text += QStringLiteral("Bad columns: %1\n").arg(t.columns.size());
    for (int i = 0; i < t.columns.size(); ++i)
        text += QStringLiteral("  %1  %2\n").arg(i + 1, 4).arg(t.columns[i]);
    return text;
}

int runGet(CliSession& session, bool bJson)
{
    Tables tables;
    QString error;
    if (!readTables(session.exec(), &tables, &error))
        return cliFail(CliExit::kFailed, error);
    if (bJson)
        cliPrint(QString::fromUtf8(BadPixelTable::toJson(tables.pixels, tables.columns)) + QLatin1Char('\n'));
    else
        cliPrint(tablesText(tables));
    return CliExit::kOk;
}

int runSet(CliSession& session, Tables wanted)
{
    const UsbCameraLink& link = UsbCameraLink::instance();
    const QStringList problems = BadPixelTable::findProblems(wanted.pixels, wanted.columns, link.nWidth, link.nHeight);
    if (!problems.isEmpty()) {
        for (const QString& problem : problems)
            cliFail(CliExit::kUsage, problem);
        return cliFail(CliExit::kUsage, QStringLiteral("nothing written"));
    }
    if (wanted.pixels.size() > BadPixelTable::kMaxPixels) {
        cliFail(CliExit::kOk, QStringLiteral("warning: %1 bad pixels listed, the camera keeps at most %2: writing the first %2")
                                  .arg(wanted.pixels.size())
                                  .arg(BadPixelTable::kMaxPixels));
        wanted.pixels.resize(BadPixelTable::kMaxPixels);
    }

    QDevCommExec& exec = session.exec();
    // Pixels first, then columns, as the editor writes them; the executor frees the pixel arrays.
    int* pRows = new int[kPixelArraySize]();
    int* pCols = new int[kPixelArraySize]();
    for (int i = 0; i < wanted.pixels.size(); ++i) {
        pRows[i] = wanted.pixels[i].y;
        pCols[i] = wanted.pixels[i].x;
    }
    bool bPixelsOk = false;
    {
        const auto c = QObject::connect(&exec, &QDevCommExec::sendSetAllBadPixelsRetSignal,
                                        [&](bool bRet) { bPixelsOk = bRet; });
        exec.setAllBadPixelsSlot(wanted.pixels.size(), pRows, pCols);
        QObject::disconnect(c);
    }

    std::unique_ptr<int[]> colIndex(new int[kColumnArraySize]());
    std::unique_ptr<int[]> cols(new int[kColumnArraySize]());
    for (int i = 0; i < wanted.columns.size(); ++i) {
        colIndex[i] = i + 1;
        cols[i] = wanted.columns[i];
    }
    bool bColsOk = false;
    {
        const auto c = QObject::connect(&exec, &QDevCommExec::sendSetAllBadColsRetSignal,
                                        [&](bool bRet) { bColsOk = bRet; });
        exec.setAllBadColsSlot(wanted.columns.size(), colIndex.get(), cols.get());
        QObject::disconnect(c);
    }
    if (!bPixelsOk)
        cliFail(CliExit::kFailed, QStringLiteral("the camera refused the bad pixel table"));
    if (!bColsOk)
        cliFail(CliExit::kFailed, QStringLiteral("the camera refused the bad column table"));
    if (!bPixelsOk || !bColsOk)
        return CliExit::kFailed;

    // Read back, so that a zero exit means the camera holds exactly what was asked.
    Tables held;
    QString error;
    if (!readTables(exec, &held, &error))
        return cliFail(CliExit::kFailed, QStringLiteral("written, but reading back failed: %1").arg(error));
    if (held.pixels != wanted.pixels || held.columns != wanted.columns)
        return cliFail(CliExit::kFailed, QStringLiteral("the camera holds other tables than were written"));
    cliPrint(QStringLiteral("Wrote %1 bad pixel(s) and %2 bad column(s); run 'thermava-cli badpixels save' to keep them "
                            "after a restart.\n")
                 .arg(wanted.pixels.size())
                 .arg(wanted.columns.size()));
    return CliExit::kOk;
}

int runSave(CliSession& session)
{
    bool bOk = false;
    QDevCommExec& exec = session.exec();
    const auto c = QObject::connect(&exec, &QDevCommExec::sendSaveAllBadSetRetSignal, [&](bool bRet) { bOk = bRet; });
    exec.saveAllSetSlot();
    QObject::disconnect(c);
    if (!bOk)
        return cliFail(CliExit::kFailed, QStringLiteral("the camera did not confirm saving its tables"));
    cliPrint(QStringLiteral("The camera keeps its current bad pixel and bad column tables.\n"));
    return CliExit::kOk;
}

int runBadPixels(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Read, write or save the camera's bad pixel and bad column tables.\n"
                       "  get [--json]  print both tables\n"
                       "  set FILE      write both tables from a JSON file {\"pixels\": [[x, y], ...], "
                       "\"columns\": [c, ...]}\n"
                       "  save          make the camera keep its current tables"));
    parser.addPositionalArgument(QStringLiteral("action"), QStringLiteral("get, set or save"));
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("JSON file (set only)"), QStringLiteral("[FILE]"));
    parser.addOption({QStringLiteral("json"), QStringLiteral("get: print one JSON object instead of text.")});
    addConnectOptions(parser);
    int nExit = 0;
    if (!cliParse(parser, args, &nExit))
        return nExit;

    const QStringList positional = parser.positionalArguments();
    const QString action = positional.value(0);
    const int nExpected = action == QLatin1String("set") ? 2 : 1;
    if (action != QLatin1String("get") && action != QLatin1String("set") && action != QLatin1String("save"))
        return cliFail(CliExit::kUsage, QStringLiteral("expected get, set FILE or save (try --help)"));
    if (positional.size() != nExpected)
        return cliFail(CliExit::kUsage, action == QLatin1String("set") ? QStringLiteral("set takes one FILE")
                                                                       : QStringLiteral("unexpected argument \"%1\"")
                                                                             .arg(positional.value(1)));
    if (parser.isSet(QStringLiteral("json")) && action != QLatin1String("get"))
        return cliFail(CliExit::kUsage, QStringLiteral("--json belongs to get"));
    CliConnectOptions options;
    QString error;
    if (!readConnectOptions(parser, &options, &error))
        return cliFail(CliExit::kUsage, error);

    // A file that cannot be used is refused before the camera is touched.
    Tables wanted;
    if (action == QLatin1String("set")) {
        QFile file(positional.at(1));
        if (!file.open(QIODevice::ReadOnly))
            return cliFail(CliExit::kUsage, QStringLiteral("cannot read %1: %2").arg(file.fileName(), file.errorString()));
        if (!BadPixelTable::fromJson(file.readAll(), &wanted.pixels, &wanted.columns, &error))
            return cliFail(CliExit::kUsage, QStringLiteral("%1: %2").arg(file.fileName(), error));
    }

    CliSession session(options);
    nExit = session.connect(&error);
    if (nExit != CliExit::kOk)
        return cliFail(nExit, error);
    // The column table holds at most one entry per image column; without a video engine in this
    // process the image width stands for the frame width.
    if (g_nFrameWidth.load() <= 0)
        g_nFrameWidth = UsbCameraLink::instance().nWidth;

    if (action == QLatin1String("get"))
        return runGet(session, parser.isSet(QStringLiteral("json")));
    if (action == QLatin1String("set"))
        return runSet(session, wanted);
    return runSave(session);
}

const CliRegistrar kBadPixels(QStringLiteral("badpixels"),
                              QStringLiteral("Read, write (from JSON) or save the bad pixel and bad column tables"),
                              runBadPixels);

} // namespace
