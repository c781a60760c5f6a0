#include "app/Startup.h"

#include "app/ConfigStore.h"
#include "app/LangTable.h"
#include "device/DeviceInformation.h"
#include "video/ThermHotPointParam.h"

#include <QApplication>
#include <QDebug>
#include <QFile>
#include <QMetaType>
#include <stdexcept>

static void initResourcesImpl() { Q_INIT_RESOURCE(resources); }

void initThermavaResources() { initResourcesImpl(); }

void registerThermavaMetaTypes()
{
    // qRegisterMetaType with a name makes it an alias when the type is already known.
    qRegisterMetaType<DeviceInformation>("DeviceInformation");
    qRegisterMetaType<ThermHotPointParam>("ThermHotPointParam");
}

bool installThermavaStyleSheet()
{
    QFile file(QString(":/Resource/Skin/") + "tpc.qss");
    if (!file.open(QIODevice::ReadOnly))
        return false;
    qApp->setStyleSheet(QString::fromUtf8(file.readAll()));
    return true;
}

int runThermava(int argc, char** argv, const MainWindowFactory& factory)
{
    try {
        QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
#if QT_VERSION >= QT_VERSION_CHECK(5, 14, 0)
        QApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
#endif
        QApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
        QApplication app(argc, argv);
        initThermavaResources();

        registerThermavaMetaTypes();

        // The program folder must be writable for Config.ini and the default folders; a
        // failure here is not fatal, the store then simply behaves as empty.
        QFile::setPermissions(QCoreApplication::applicationDirPath(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                              QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser |
                              QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                              QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther);

        installThermavaStyleSheet();

        ConfigStore::config();
        const int nLanguage = ConfigStore::getLanguage();
        loadLanguage(langTable(), nLanguage);

        QWidget* pWindow = factory();
        pWindow->setWindowTitle(QString::fromUtf8("Thermava"));
        pWindow->show();

        app.exec();

        delete pWindow;
    } catch (const std::out_of_range&) {
        return 0;
    } catch (const std::length_error&) {
        return 0;
    }
    return 0;
}
