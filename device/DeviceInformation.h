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
    QString strSwVer;        // software version
    QString strReserved6;
};

Q_DECLARE_METATYPE(DeviceInformation)
