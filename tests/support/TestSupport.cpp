#include "support/TestSupport.h"

#include "app/ConfigStore.h"
#include "app/Startup.h"

#include <QDir>

namespace TestSupport {

void initCommon()
{
    initThermavaResources();
    registerThermavaMetaTypes();
}

ScopedConfigDir::ScopedConfigDir() { ConfigStore::setBaseDirForTests(m_dir.path()); }
ScopedConfigDir::~ScopedConfigDir() { ConfigStore::setBaseDirForTests(QString()); }

QString sourceDir()
{
    // The tree the tests were built from, wherever they are started.
    const QByteArray env = qgetenv("THERMAVA_TEST_SOURCE_DIR");
    return env.isEmpty() ? QStringLiteral(THERMAVA_SOURCE_DIR) : QString::fromLocal8Bit(env);
}

} // namespace TestSupport
