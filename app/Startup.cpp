#include "app/Startup.h"

#include "app/ConfigStore.h"
#include "app/LangTable.h"
#include "app/Version.h"
#include "device/DeviceInformation.h"
#include "platform/camlib/CameraChoice.h"
#include "video/ThermHotPointParam.h"
#include "widgets/QMessageboxDlg.h"

#include <QApplication>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QMetaType>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <unistd.h>

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

bool secureProgramFolder(const QString& qStrDir)
{
    // A folder another user owns (an installed program) is left alone: the client then keeps
    // its files in the user's own folders.
    const QFileInfo info(qStrDir);
    if (!info.isDir() || info.ownerId() != static_cast<uint>(::geteuid()) || ConfigStore::isSystemFolder(qStrDir))
        return false;
    // The owner must be able to write Config.ini and the default folders beside the program;
    // nobody else may, or any local user could replace the program, its settings or its model.
    QFileDevice::Permissions perms = info.permissions();
    const QFileDevice::Permissions wanted =
        (perms | QFileDevice::WriteOwner | QFileDevice::WriteUser) & ~(QFileDevice::WriteGroup | QFileDevice::WriteOther);
    if (wanted == perms)
        return true;
    return QFile::setPermissions(qStrDir, wanted);
}

int runThermava(int argc, char** argv, const MainWindowFactory& factory)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Thermava %s\n", thermavaVersion());
            return 0;
        }
    }
    try {
        QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
#if QT_VERSION >= QT_VERSION_CHECK(5, 14, 0)
        QApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
#endif
        QApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
        QApplication app(argc, argv);
        initThermavaResources();

        registerThermavaMetaTypes();

        // A failure here is not fatal: the store then falls back to the user's own folders.
        secureProgramFolder(QCoreApplication::applicationDirPath());

        installThermavaStyleSheet();

        ConfigStore::config();
        const int nLanguage = ConfigStore::getLanguage();
        loadLanguage(langTable(), nLanguage);

        // The camera to talk to: THERMAVA_CAMERA wins over the "Camera" setting. A choice that
        // cannot be used leaves the simulated camera bound, which the title bar then says.
        const QString qStrCamera = qEnvironmentVariableIsSet("THERMAVA_CAMERA")
                                       ? qEnvironmentVariable("THERMAVA_CAMERA")
                                       : ConfigStore::value(ConfigStore::kGeneralGroup, "Camera").toString();
        std::string cameraError;
        const bool bCameraBound = bindCameraChoice(qStrCamera.toStdString(), &cameraError);

        QWidget* pWindow = factory();
        pWindow->setWindowTitle(QString::fromUtf8("Thermava"));
        pWindow->show();
        if (!bCameraBound) {
            const QString qStrText = langText("The camera setting cannot be used:") + "\r\n" + QString::fromStdString(cameraError);
            qWarning("%s", qPrintable(qStrText));
            QTimer::singleShot(0, pWindow, [pWindow, qStrText] { QMessageboxDlg::showMessage(pWindow, qStrText); });
        }

        app.exec();

        delete pWindow;
    } catch (const std::out_of_range&) {
        return 0;
    } catch (const std::length_error&) {
        return 0;
    }
    return 0;
}
