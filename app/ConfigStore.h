#pragma once
// Process-wide configuration store: one QSettings (INI) on <config folder>//Config.ini,
// all keys in group "GeneralConfig", plus the small helpers built on the settings.

#include <QList>
#include <QPoint>
#include <QSettings>
#include <QString>
#include <QVariant>

class QComboBox;

namespace ConfigStore {

inline const char* const kGeneralGroup = "GeneralConfig";

// The process-wide store, created on first call.
QSettings* config();

// Writes are made only when both group and key are non-empty.
void setValue(const QString& group, const QString& key, const QVariant& value);
// Reads use no default: a missing key gives an invalid QVariant (0 / empty text).
QVariant value(const QString& group, const QString& key);

void setLanguage(int nLanguage);
int getLanguage();

QString getManualSnapshotPath();
QString getManualRecordPath();
QString getAlarmRecordPath();

int getTemperUnit();
float convertTemper(float fCelsius);
QString getTemperUnitText();

QString getDateTimeName();   // "yyyyMMdd_HHmmss_zzz"
QString getDateName();       // "yyyyMMdd"

bool ensureDir(const QString& path);
void selectComboByData(QComboBox* pCombo, int nValue);
void scalePoints(QList<QPoint>& points, int nSrcWidth, int nSrcHeight, int nDstWidth, int nDstHeight);

// Folder in which Config.ini and the default folders live when the client runs from a folder
// the user may write (a build tree, an unpacked copy): the application directory, unless a
// test has pointed the store elsewhere.
QString baseDir();
// True when the application directory is writable by this user (or a test set a base folder).
// Otherwise the client is installed: Config.ini lives in $XDG_CONFIG_HOME/thermava, snapshots
// default to the user's pictures folder + "/Thermava", recordings to the videos folder +
// "/Thermava" and alarm recordings below that in "AlarmRecords". Stored paths are kept as they are.
bool isPortable();
// True for the system's own program folders (/usr/..., /opt/..., /bin): a copy there is an
// installed one even for a user, such as root, who could write there.
bool isSystemFolder(const QString& dir);
// The folder that holds Config.ini.
QString configDir();
// Tests only: re-create the store on <dir>//Config.ini with <dir> as the base folder.
// An empty dir returns to the application directory.
void setBaseDirForTests(const QString& dir);

} // namespace ConfigStore
