#include "app/ConfigStore.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QStandardPaths>
#include <memory>

namespace ConfigStore {
namespace {

QMutex g_storeMutex;
std::unique_ptr<QSettings> g_store;
QString g_baseOverride;

QString defaultFolder(const char* name) { return baseDir() + "/" + name; }

// An installed client cannot write beside itself; its files then go to the user's own
// folders. Which user folder each default moves to, with the sub-folder under it.
QString userFolder(QStandardPaths::StandardLocation location, const char* sub)
{
    QString root = QStandardPaths::writableLocation(location);
    if (root.isEmpty())
        root = QDir::homePath();
    return root + "/" + sub;
}

} // namespace

bool isPortable()
{
    {
        QMutexLocker lock(&g_storeMutex);
        if (!g_baseOverride.isEmpty())
            return true;
    }
    const QString dir = QCoreApplication::applicationDirPath();
    return !isSystemFolder(dir) && QFileInfo(dir).isWritable();
}

bool isSystemFolder(const QString& dir)
{
    // Root may write there, but an installed copy must not fill the system's folders.
    const QString clean = QDir::cleanPath(dir);
    return clean == "/bin" || clean == "/sbin" || clean == "/usr" || clean.startsWith("/usr/") || clean.startsWith("/opt/");
}

QString baseDir()
{
    QMutexLocker lock(&g_storeMutex);
    if (!g_baseOverride.isEmpty())
        return g_baseOverride;
    return QCoreApplication::applicationDirPath();
}

QString configDir()
{
    if (isPortable())
        return baseDir();
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/thermava";
}

QSettings* config()
{
    const QString dir = configDir();
    QMutexLocker lock(&g_storeMutex);
    if (!g_store) {
        // The doubled separator is how the path has always been built; Qt normalises it.
        g_store = std::make_unique<QSettings>(dir + "//" + "Config.ini", QSettings::IniFormat);
        g_store->setIniCodec("utf-8");
    }
    return g_store.get();
}

void setBaseDirForTests(const QString& dir)
{
    QMutexLocker lock(&g_storeMutex);
    if (g_store)
        g_store->sync();
    g_store.reset();
    g_baseOverride = dir;
}

void setValue(const QString& group, const QString& key, const QVariant& value)
{
    if (group.isEmpty() || key.isEmpty())
        return;
    config()->setValue(QString("/%1/%2").arg(group, key), value);
}

QVariant value(const QString& group, const QString& key)
{
    return config()->value(QString("/%1/%2").arg(group, key));
}

void setLanguage(int nLanguage) { setValue(kGeneralGroup, "Language", nLanguage); }
int getLanguage() { return value(kGeneralGroup, "Language").toInt(); }

QString getManualSnapshotPath()
{
    const QString stored = value(kGeneralGroup, "ManualSnapshotPath").toString();
    if (!stored.isEmpty())
        return stored;
    const QString path = isPortable() ? defaultFolder("Snapshot") : userFolder(QStandardPaths::PicturesLocation, "Thermava");
    ensureDir(path);
    return path;
}

QString getManualRecordPath()
{
    const QString stored = value(kGeneralGroup, "ManualRecordPath").toString();
    if (!stored.isEmpty())
        return stored;
    const QString path = isPortable() ? defaultFolder("Records") : userFolder(QStandardPaths::MoviesLocation, "Thermava");
    ensureDir(path);
    return path;
}

QString getAlarmRecordPath()
{
    const QString stored = value(kGeneralGroup, "AlarmRecordPath").toString();
    if (!stored.isEmpty())
        return stored;
    return isPortable() ? defaultFolder("AlarmRecords") : userFolder(QStandardPaths::MoviesLocation, "Thermava/AlarmRecords");
}

int getTemperUnit() { return value(kGeneralGroup, "TemperUnit").toInt(); }

float convertTemper(float fCelsius)
{
    const double c = fCelsius;
    switch (getTemperUnit()) {
    case 1: return static_cast<float>(c * 1.8 + 32.0);
    case 2: return static_cast<float>(c + 273.15);
    default: return fCelsius;
    }
}

QString getTemperUnitText()
{
    switch (getTemperUnit()) {
    case 0: return QString::fromUtf8("\u2103");   // ℃
    case 1: return QString::fromUtf8("\u2109");   // ℉
    case 2: return QStringLiteral("K");
    default: return QString();
    }
}

QString getDateTimeName() { return QDateTime::currentDateTime().toString("yyyyMMdd_HHmmss_zzz"); }
QString getDateName() { return QDateTime::currentDateTime().toString("yyyyMMdd"); }

bool ensureDir(const QString& path)
{
    QDir dir(path);
    if (dir.exists())
        return true;
    return dir.mkpath(".");
}

void selectComboByData(QComboBox* pCombo, int nValue)
{
    if (!pCombo)
        return;
    for (int i = 0; i < pCombo->count(); ++i) {
        if (pCombo->itemData(i, Qt::UserRole) == QVariant(nValue)) {
            pCombo->setCurrentIndex(i);
            return;
        }
    }
}

void scalePoints(QList<QPoint>& points, int nSrcWidth, int nSrcHeight, int nDstWidth, int nDstHeight)
{
    if (nSrcWidth <= 0 || nSrcHeight <= 0 || nDstWidth <= 0 || nDstHeight <= 0 || points.isEmpty())
        return;
    for (QPoint& pt : points) {
        pt.setX(static_cast<int>(static_cast<long long>(pt.x()) * nDstWidth / nSrcWidth));
        pt.setY(static_cast<int>(static_cast<long long>(pt.y()) * nDstHeight / nSrcHeight));
    }
}

} // namespace ConfigStore
