// thermava-cli inspect: reads back the temperatures a snapshot carries, and the temperature
// at given pixels of its picture.

#include "CliCommand.h"
#include "CliMeasure.h"
#include "measure/JpegComment.h"
#include "measure/SnapshotMeta.h"

#include <QCommandLineParser>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <cmath>

namespace {

QString describe(const QJsonObject& meta)
{
    const QJsonObject scene = meta.value("scene").toObject();
    const QJsonObject hot = meta.value("hotPoint").toObject();
    const QJsonObject cold = meta.value("coldPoint").toObject();
    const QJsonObject camera = meta.value("camera").toObject();
    const QJsonObject picture = meta.value("picture").toObject();
    const QJsonObject model = meta.value("model").toObject();
    auto at = [](const QJsonObject& o) {
        const QJsonArray a = o.value("at").toArray();
        return QStringLiteral("%1,%2").arg(a.at(0).toInt()).arg(a.at(1).toInt());
    };
    QString text = QStringLiteral("Time:         %1\nCamera:       %2  S/N %3\n"
                                  "Picture:      %4 x %5, palette %6, rotation %7, display unit %8\n"
                                  "Emissivity:   %9, reflected %10 C\n")
                       .arg(meta.value("time").toString(), camera.value("part").toString(),
                            camera.value("serial").toString())
                       .arg(picture.value("width").toInt())
                       .arg(picture.value("height").toInt())
                       .arg(meta.value("palette").toObject().value("name").toString())
                       .arg(meta.value("rotation").toInt())
                       .arg(meta.value("unit").toString())
                       .arg(meta.value("emissivity").toDouble(), 0, 'f', 2)
                       .arg(meta.value("reflected").toDouble(), 0, 'f', 1);
    text += QStringLiteral("Scene:        min %1 C  max %2 C\nHot point:    %3  %4 C\n")
                .arg(scene.value("min").toDouble(), 0, 'f', 2)
                .arg(scene.value("max").toDouble(), 0, 'f', 2)
                .arg(at(hot))
                .arg(hot.value("t").toDouble(), 0, 'f', 2);
    if (!cold.isEmpty())
        text += QStringLiteral("Cold point:   %1  %2 C\n").arg(at(cold)).arg(cold.value("t").toDouble(), 0, 'f', 2);
    for (const QJsonValue& v : meta.value("items").toArray()) {
        const QJsonObject i = v.toObject();
        const QJsonArray g = i.value("geometry").toArray();
        text += QStringLiteral("Item %1 %2 (%3 %4,%5 %6,%7):  max %8  min %9  avg %10 C\n")
                    .arg(i.value("id").toInt())
                    .arg(i.value("name").toString(), i.value("kind").toString())
                    .arg(g.at(0).toInt()).arg(g.at(1).toInt()).arg(g.at(2).toInt()).arg(g.at(3).toInt())
                    .arg(i.value("max").toDouble(), 0, 'f', 2)
                    .arg(i.value("min").toDouble(), 0, 'f', 2)
                    .arg(i.value("avg").toDouble(), 0, 'f', 2);
    }
    text += QStringLiteral("Model:        Y %1 .. %2  ->  %3 .. %4 C\n")
                .arg(model.value("ymin").toDouble())
                .arg(model.value("ymax").toDouble())
                .arg(model.value("tmin").toDouble(), 0, 'f', 2)
                .arg(model.value("tmax").toDouble(), 0, 'f', 2);
    return text;
}

int runInspect(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Print the temperatures a snapshot carries, and the temperature (Celsius) at picture pixels."));
    parser.addPositionalArgument(QStringLiteral("FILE.jpg"), QStringLiteral("A snapshot taken by Thermava."));
    parser.addOption({QStringLiteral("at"), QStringLiteral("Temperature at picture pixel X,Y (repeatable)."),
                      QStringLiteral("X,Y")});
    parser.addOption({QStringLiteral("json"), QStringLiteral("Print one JSON object.")});
    int nExit = 0;
    if (!cliParse(parser, args, &nExit))
        return nExit;
    if (parser.positionalArguments().size() != 1)
        return cliFail(CliExit::kUsage, QStringLiteral("inspect takes one snapshot file"));
    QList<QPoint> points;
    for (const QString& v : parser.values(QStringLiteral("at"))) {
        QPoint pt;
        if (!parsePointArg(v, &pt))
            return cliFail(CliExit::kUsage, QStringLiteral("--at takes X,Y in picture pixels, not \"%1\"").arg(v));
        points.append(pt);
    }
    const QString qStrPath = parser.positionalArguments().first();
    QFile file(qStrPath);
    if (!file.open(QIODevice::ReadOnly))
        return cliFail(CliExit::kFailed, QStringLiteral("%1: %2").arg(qStrPath, file.errorString()));
    const QByteArray data = file.read(256 * 1024 * 1024);
    SnapshotMeta::Decoded snapshot;
    QString error;
    if (!SnapshotMeta::decode(JpegComment::read(data), &snapshot, &error))
        return cliFail(CliExit::kFailed, QStringLiteral("%1: %2").arg(qStrPath, error));

    QJsonArray readings;
    QString text;
    bool bOutside = false;
    for (const QPoint& pt : points) {
        const float t = SnapshotMeta::temperatureAtPicture(snapshot, pt);
        QJsonObject o{{"x", pt.x()}, {"y", pt.y()}};
        o.insert("t", std::isfinite(t) ? QJsonValue(std::round(double(t) * 100.0) / 100.0) : QJsonValue());
        readings.append(o);
        bOutside |= !std::isfinite(t);
        text += std::isfinite(t) ? QStringLiteral("At %1,%2:      %3 C\n").arg(pt.x()).arg(pt.y()).arg(double(t), 0, 'f', 2)
                                 : QStringLiteral("At %1,%2:      outside the picture\n").arg(pt.x()).arg(pt.y());
    }
    if (!points.isEmpty() && !snapshot.frame.isValid())
        return cliFail(CliExit::kFailed, QStringLiteral("%1: the picture carries no per-pixel luminance").arg(qStrPath));
    if (parser.isSet(QStringLiteral("json"))) {
        QJsonObject out = snapshot.meta;
        if (!points.isEmpty())
            out.insert("points", readings);
        cliPrint(QString::fromUtf8(QJsonDocument(out).toJson(QJsonDocument::Compact)) + QLatin1Char('\n'));
    } else {
        cliPrint(describe(snapshot.meta) + text);
    }
    return bOutside ? CliExit::kFailed : CliExit::kOk;
}

const CliRegistrar kInspect(QStringLiteral("inspect"),
                            QStringLiteral("Print the temperatures a snapshot carries (FILE.jpg [--at X,Y]... [--json])"),
                            runInspect);

} // namespace
