#pragma once
// Shared helpers for the QtTest executables.

#include <QString>
#include <QTemporaryDir>

namespace TestSupport {

// Resources, meta types and an empty language table, as start-up would leave them.
void initCommon();

// Points the configuration store at a fresh temporary folder for the life of the object.
class ScopedConfigDir
{
public:
    ScopedConfigDir();
    ~ScopedConfigDir();
    QString path() const { return m_dir.path(); }
    QString iniPath() const { return m_dir.path() + "/Config.ini"; }

private:
    QTemporaryDir m_dir;
};

// Root of the source tree (set by CTest), for test data committed with the tests.
QString sourceDir();

} // namespace TestSupport
