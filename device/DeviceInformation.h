#pragma once
// Identity of the connected camera, carried by value from the command executor to the
// device information page.

#include <QMetaType>
#include <QString>

struct DeviceInformation
{
    bool bFlag = false;      // always false as sent; nobody reads it
    QString strDevPart;      // part number
    QString strDevSn;        // serial number
    QString strDevRes;       // resolution text, e.g. "256x192"
    QString strReserved1;
    QString strReserved2;
    QString strReserved3;
    QString strReserved4;
    QString strReserved5;
    QString strSwVer;        // software version: all 32 bytes as read, zero padding included
    QString strReserved6;
};

// The software version as a person reads it: up to its first zero byte, without surrounding blanks.
inline QString softwareVersionForDisplay(const QString& raw)
{
    const int nZero = raw.indexOf(QChar(0));
    return (nZero < 0 ? raw : raw.left(nZero)).trimmed();
}

Q_DECLARE_METATYPE(DeviceInformation)
