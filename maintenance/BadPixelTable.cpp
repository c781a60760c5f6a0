#include "maintenance/BadPixelTable.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QSet>
#include <cmath>

namespace BadPixelTable {

namespace {

// A JSON number that is a whole number within int range.
bool toInt(const QJsonValue& value, int* pnOut)
{
    if (!value.isDouble())
        return false;
    const double d = value.toDouble();
    if (std::floor(d) != d || d < -2147483648.0 || d > 2147483647.0)
        return false;
    *pnOut = static_cast<int>(d);
    return true;
}

} // namespace

QString pixelText(int x, int y) { return QStringLiteral("%1,%2").arg(x).arg(y); }

ColumnConflict checkColumn(const QVector<int>& columns, int nColumn)
{
    for (int nListed : columns) {
        const ColumnConflict conflict = columnConflict(nListed, nColumn);
        if (conflict != ColumnConflict::None)
            return conflict;
    }
    return ColumnConflict::None;
}

QStringList findProblems(const QVector<Pixel>& pixels, const QVector<int>& columns, int nWidth, int nHeight)
{
    QStringList problems;
    QSet<qint64> seen;
    for (int i = 0; i < pixels.size(); ++i) {
        const Pixel& p = pixels[i];
        if (p.x < 0 || p.y < 0 || p.x >= nWidth || p.y >= nHeight) {
            problems << QStringLiteral("bad pixel %1 (%2) lies outside the %3x%4 image")
                            .arg(i + 1)
                            .arg(pixelText(p.x, p.y))
                            .arg(nWidth)
                            .arg(nHeight);
            continue;
        }
        const qint64 key = (qint64(p.y) << 32) | quint32(p.x);
        if (seen.contains(key))
            problems << QStringLiteral("bad pixel %1 (%2) is listed twice").arg(i + 1).arg(pixelText(p.x, p.y));
        seen.insert(key);
    }
    for (int i = 0; i < columns.size(); ++i) {
        const int c = columns[i];
        if (c < 0 || c >= nWidth) {
            problems << QStringLiteral("bad column %1 (%2) lies outside the image, which is %3 wide")
                            .arg(i + 1)
                            .arg(c)
                            .arg(nWidth);
            continue;
        }
        // Checked against the columns before it, as the editor checks a column being added.
        for (int j = 0; j < i; ++j) {
            const ColumnConflict conflict = columnConflict(columns[j], c);
            if (conflict == ColumnConflict::Same) {
                problems << QStringLiteral("bad column %1 (%2) is listed twice").arg(i + 1).arg(c);
                break;
            }
            if (conflict == ColumnConflict::Adjacent) {
                problems << QStringLiteral("bad column %1 (%2) lies next to bad column %3 (%4): adjacent bad "
                                           "columns cannot be corrected")
                                .arg(i + 1)
                                .arg(c)
                                .arg(j + 1)
                                .arg(columns[j]);
                break;
            }
        }
    }
    return problems;
}

QByteArray toJson(const QVector<Pixel>& pixels, const QVector<int>& columns)
{
    // Written by hand to keep "pixels" in front, as people read and write these files.
    QByteArray json = "{\"pixels\":[";
    for (int i = 0; i < pixels.size(); ++i) {
        if (i)
            json += ',';
        json += '[' + QByteArray::number(pixels[i].x) + ',' + QByteArray::number(pixels[i].y) + ']';
    }
    json += "],\"columns\":[";
    for (int i = 0; i < columns.size(); ++i) {
        if (i)
            json += ',';
        json += QByteArray::number(columns[i]);
    }
    json += "]}";
    return json;
}

bool fromJson(const QByteArray& json, QVector<Pixel>* pPixels, QVector<int>* pColumns, QString* pError)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *pError = QStringLiteral("not valid JSON: %1 (at offset %2)").arg(parseError.errorString()).arg(parseError.offset);
        return false;
    }
    if (!doc.isObject()) {
        *pError = QStringLiteral("expected an object with \"pixels\" and \"columns\"");
        return false;
    }
    const QJsonObject obj = doc.object();
    // Both tables are replaced by a write, so a missing one must not silently empty the camera's.
    for (const char* pszKey : {"pixels", "columns"}) {
        if (!obj.value(QLatin1String(pszKey)).isArray()) {
            *pError = QStringLiteral("\"%1\" is missing or not an array").arg(QLatin1String(pszKey));
            return false;
        }
    }
    QVector<Pixel> pixels;
    const QJsonArray pixelArray = obj.value(QStringLiteral("pixels")).toArray();
    for (int i = 0; i < pixelArray.size(); ++i) {
        const QJsonArray pair = pixelArray.at(i).toArray();
        Pixel p;
        if (!pixelArray.at(i).isArray() || pair.size() != 2 || !toInt(pair.at(0), &p.x) || !toInt(pair.at(1), &p.y)) {
            *pError = QStringLiteral("pixel %1 is not a pair of whole numbers [x, y]").arg(i + 1);
            return false;
        }
        pixels << p;
    }
    QVector<int> columns;
    const QJsonArray columnArray = obj.value(QStringLiteral("columns")).toArray();
    for (int i = 0; i < columnArray.size(); ++i) {
        int c = 0;
        if (!toInt(columnArray.at(i), &c)) {
            *pError = QStringLiteral("column %1 is not a whole number").arg(i + 1);
            return false;
        }
        columns << c;
    }
    *pPixels = pixels;
    *pColumns = columns;
    return true;
}

} // namespace BadPixelTable
