// Start-up end to end, in-process: the whole sequence runs, the window gets its title, the
// language follows Config.ini, and closing the window returns exit code 0.
#include "app/ConfigStore.h"
#include "app/LangTable.h"
#include "app/Startup.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <cstdio>

namespace {

int g_failures = 0;
int g_passes = 0;

void check(bool ok, const char* what)
{
    std::printf("%s: %s\n", ok ? "PASS" : "FAIL", what);
    ok ? ++g_passes : ++g_failures;
}

struct Observed
{
    QString title;
    bool visible = false;
    QString languageProbe;
    bool styled = false;
};

int runOnce(int language, Observed& seen)
{
    QTemporaryDir dir;
    ConfigStore::setBaseDirForTests(dir.path());
    if (language >= 0) {
        QFile ini(dir.path() + "/Config.ini");
        ini.open(QIODevice::WriteOnly);
        ini.write(QString("[GeneralConfig]\nLanguage=%1\n").arg(language).toUtf8());
        ini.close();
    }
    langTable().clear();
    int argc = 1;
    char arg0[] = "test_startup";
    char* argv[] = {arg0, nullptr};
    const int code = runThermava(argc, argv, [&seen]() {
        auto* w = new QWidget;
        // Closing the only window ends the event loop, as a user's close would.
        QTimer::singleShot(100, w, [w, &seen]() {
            seen.title = w->windowTitle();
            seen.visible = w->isVisible();
            seen.languageProbe = langText("Device is not connect.");
            seen.styled = !qApp->styleSheet().isEmpty();
            w->close();
        });
        return w;
    });
    ConfigStore::setBaseDirForTests(QString());
    return code;
}

} // namespace

int main()
{
    {
        Observed seen;
        const int code = runOnce(-1, seen);
        check(code == 0, "closing the window exits with code 0");
        check(seen.title == "Thermava", "window title is Thermava");
        check(seen.visible, "window is shown");
        check(seen.styled, "stylesheet installed from resources");
        check(seen.languageProbe == QString::fromUtf8("设备未连接"), "no Language key loads the Chinese table");
    }
    {
        Observed seen;
        runOnce(1, seen);
        check(seen.languageProbe == "Device is not connect.", "Language 1 loads the English table");
    }
    {
        Observed seen;
        runOnce(2, seen);
        check(seen.languageProbe == QString::fromUtf8("设备未连接"), "Language 2 loads the Chinese table");
    }
    {
        // The program folder ends up writable by its owner and by nobody else, from either side.
        const auto ownerOnlyWrite = [](const QString& dir) {
            const QFileDevice::Permissions p = QFileInfo(dir).permissions();
            return (p & QFileDevice::WriteOwner) && !(p & (QFileDevice::WriteGroup | QFileDevice::WriteOther));
        };
        const QString programDir = QFileInfo(QFileInfo("/proc/self/exe").symLinkTarget()).absolutePath();
        check(ownerOnlyWrite(programDir), "start-up leaves the program folder writable by its owner only");
        QTemporaryDir tmp;
        QDir(tmp.path()).mkdir("open");
        QDir(tmp.path()).mkdir("locked");
        QFile::setPermissions(tmp.path() + "/open", QFileDevice::Permissions(0x7777));
        QFile::setPermissions(tmp.path() + "/locked", QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                                          QFileDevice::ReadUser | QFileDevice::ExeUser);
        secureProgramFolder(tmp.path() + "/open");
        secureProgramFolder(tmp.path() + "/locked");
        check(ownerOnlyWrite(tmp.path() + "/open"), "a world-writable folder loses group and other write");
        check(ownerOnlyWrite(tmp.path() + "/locked"), "a read-only folder gains owner write");
    }
    std::printf("%d passed, %d failed\n", g_passes, g_failures);
    return g_failures == 0 ? 0 : 1;
}
