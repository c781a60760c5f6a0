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
    const QByteArray env = qgetenv("THERMAVA_TEST_SOURCE_DIR");
    return env.isEmpty() ? QDir::currentPath() : QString::fromLocal8Bit(env);
}

} // namespace TestSupport
