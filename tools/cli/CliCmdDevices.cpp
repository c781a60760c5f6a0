// thermava-cli devices: every video capture node, what it offers, and whether the client
// would use it; for a camera, the udev rule that gives the person at the seat its USB device.

#include "CliCommand.h"

#include "platform/v4l2/V4l2Enumerate.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cerrno>
#include <unistd.h>

namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }

QString hex(int nValue, int nDigits)
{
    return QStringLiteral("%1").arg(nValue, nDigits, 16, QLatin1Char('0'));
}

QString usbId(const V4l2NodeInfo& n) { return hex(n.nVendorId, 4) + QLatin1Char(':') + hex(n.nProductId, 4); }

QString sizesText(const V4l2Format& f)
{
    QStringList sizes;
    for (const auto& s : f.sizes)
        sizes << QStringLiteral("%1x%2").arg(s.first).arg(s.second);
    return sizes.join(QLatin1Char(' '));
}

// The camera's USB device node, which the bulk command interface needs access to.
QString usbNodePath(const V4l2NodeInfo& n)
{
    return QStringLiteral("/dev/bus/usb/%1/%2").arg(n.nBus, 3, 10, QLatin1Char('0')).arg(n.nAddress, 3, 10, QLatin1Char('0'));
}

bool usbPermissionDenied(const V4l2NodeInfo& n)
{
    return n.transport == "bulk" && ::access(usbNodePath(n).toLocal8Bit().constData(), R_OK | W_OK) != 0
           && errno == EACCES;
}

// A rule is worth offering for what looks like the camera, not for every webcam.
bool wantsRule(const V4l2NodeInfo& n) { return n.bUsb && (n.bCandidate || !n.streams.empty() || !n.bOpened); }

QString installCommand(const QString& rule)
{
    return QStringLiteral("echo '%1' | sudo tee /etc/udev/rules.d/70-thermava.rules"
                          " && sudo udevadm control --reload && sudo udevadm trigger")
        .arg(rule);
}

QJsonObject toJson(const V4l2NodeInfo& n)
{
    QJsonObject o;
    o.insert(QStringLiteral("node"), qs(n.nodePath));
    o.insert(QStringLiteral("usb"), n.bUsb);
    if (n.bUsb) {
        o.insert(QStringLiteral("vendorId"), hex(n.nVendorId, 4));
        o.insert(QStringLiteral("productId"), hex(n.nProductId, 4));
        o.insert(QStringLiteral("bus"), n.nBus);
        o.insert(QStringLiteral("address"), n.nAddress);
        o.insert(QStringLiteral("port"), qs(n.port));
        o.insert(QStringLiteral("manufacturer"), qs(n.manufacturer));
        o.insert(QStringLiteral("product"), qs(n.product));
        o.insert(QStringLiteral("serial"), qs(n.serial));
    }
    o.insert(QStringLiteral("card"), qs(n.card));
    o.insert(QStringLiteral("driver"), qs(n.driver));
    if (!n.openError.empty())
        o.insert(QStringLiteral("openError"), qs(n.openError));
    QJsonArray formats;
    for (const V4l2Format& f : n.formats) {
        QJsonArray sizes;
        for (const auto& s : f.sizes)
            sizes.append(QStringLiteral("%1x%2").arg(s.first).arg(s.second));
        formats.append(QJsonObject{{QStringLiteral("fourcc"), qs(V4l2Device::fourccText(f.nFourcc))},
                                   {QStringLiteral("description"), qs(f.description)},
                                   {QStringLiteral("sizes"), sizes}});
    }
    o.insert(QStringLiteral("formats"), formats);
    QJsonArray vendor;
    for (const UsbVendorBulkInterface& b : n.descriptors.vendorBulk)
        vendor.append(QJsonObject{{QStringLiteral("interface"), b.nInterface},
                                  {QStringLiteral("out"), QStringLiteral("0x") + hex(b.nEndpointOut, 2)},
                                  {QStringLiteral("in"), QStringLiteral("0x") + hex(b.nEndpointIn, 2)}});
    o.insert(QStringLiteral("vendorInterfaces"), vendor);
    QJsonArray units;
    for (const UvcExtensionUnit& u : n.descriptors.extensionUnits) {
        QJsonArray selectors;
        for (int s : u.selectors)
            selectors.append(s);
        units.append(QJsonObject{{QStringLiteral("unit"), u.nUnitId}, {QStringLiteral("guid"), qs(u.guidText())},
                                 {QStringLiteral("selectors"), selectors}});
    }
    o.insert(QStringLiteral("extensionUnits"), units);
    o.insert(QStringLiteral("usable"), n.bCandidate);
    o.insert(QStringLiteral("transport"), qs(n.transport));
    if (n.transport == "xu")
        o.insert(QStringLiteral("extensionControl"),
                 QJsonObject{{QStringLiteral("unit"), n.nXuUnit},
                             {QStringLiteral("selector"), n.nXuSelector},
                             {QStringLiteral("length"), n.nXuLength}});
    o.insert(QStringLiteral("reason"), qs(n.reason));
    if (usbPermissionDenied(n))
        o.insert(QStringLiteral("usbPermission"), QStringLiteral("denied on %1").arg(usbNodePath(n)));
    if (wantsRule(n))
        o.insert(QStringLiteral("udevRule"), qs(v4l2UdevRule(n.nVendorId, n.nProductId)));
    return o;
}

QString toText(const V4l2NodeInfo& n)
{
    QString t = qs(n.nodePath);
    if (n.bUsb)
        t += QStringLiteral("  USB %1  %2 %3  (bus %4, device %5)")
                 .arg(usbId(n), qs(n.manufacturer), qs(n.product))
                 .arg(n.nBus)
                 .arg(n.nAddress);
    else
        t += QStringLiteral("  not on USB");
    t += QLatin1Char('\n');
    if (!n.openError.empty())
        t += QStringLiteral("  cannot open: %1\n").arg(qs(n.openError));
    for (const V4l2Format& f : n.formats)
        t += QStringLiteral("  format %1 (%2): %3\n").arg(qs(V4l2Device::fourccText(f.nFourcc)), qs(f.description), sizesText(f));
    for (const UsbVendorBulkInterface& b : n.descriptors.vendorBulk)
        t += QStringLiteral("  vendor interface %1: bulk OUT 0x%2, IN 0x%3\n")
                 .arg(b.nInterface)
                 .arg(hex(b.nEndpointOut, 2), hex(b.nEndpointIn, 2));
    for (const UvcExtensionUnit& u : n.descriptors.extensionUnits) {
        QStringList selectors;
        for (int s : u.selectors)
            selectors << QString::number(s);
        t += QStringLiteral("  extension unit %1 {%2}: selectors %3\n").arg(u.nUnitId).arg(qs(u.guidText()), selectors.join(QLatin1Char(',')));
    }
    if (n.bCandidate)
        t += QStringLiteral("  Thermava would use it (commands over %1)\n").arg(n.transport == "bulk" ? QStringLiteral("the vendor interface") : QStringLiteral("the extension unit"));
    else
        t += QStringLiteral("  Thermava would not use it: %1\n").arg(qs(n.reason));
    if (usbPermissionDenied(n))
        t += QStringLiteral("  permission denied on %1: install the udev rule below, then replug the camera\n").arg(usbNodePath(n));
    if (wantsRule(n)) {
        const QString rule = qs(v4l2UdevRule(n.nVendorId, n.nProductId));
        t += QStringLiteral("  udev rule: %1\n  install it: %2\n").arg(rule, installCommand(rule));
    }
    return t;
}

int runDevices(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("List the video capture devices and whether Thermava would use them."));
    parser.addOption({QStringLiteral("json"), QStringLiteral("Print one JSON object instead of text.")});
    int nExit = 0;
    if (!cliParse(parser, args, &nExit))
        return nExit;
    if (!parser.positionalArguments().isEmpty())
        return cliFail(CliExit::kUsage, QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));

    const std::vector<V4l2NodeInfo> nodes = enumerateV4l2Nodes();
    if (parser.isSet(QStringLiteral("json"))) {
        QJsonArray list;
        for (const V4l2NodeInfo& n : nodes)
            list.append(toJson(n));
        const QJsonObject obj{{QStringLiteral("devices"), list}};
        cliPrint(QString::fromUtf8(QJsonDocument(obj).toJson(QJsonDocument::Compact)) + QLatin1Char('\n'));
        return CliExit::kOk;
    }
    if (nodes.empty()) {
        cliPrint(QStringLiteral("No video capture devices found.\n"));
        return CliExit::kOk;
    }
    QStringList blocks;
    for (const V4l2NodeInfo& n : nodes)
        blocks << toText(n);
    cliPrint(blocks.join(QLatin1Char('\n')));
    return CliExit::kOk;
}

const CliRegistrar kDevices(QStringLiteral("devices"), QStringLiteral("List video capture devices and whether Thermava would use them"),
                            runDevices);

} // namespace
