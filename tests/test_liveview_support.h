#pragma once
// Helpers shared by the live view tests: the English table, a recorder for modal message
// boxes, the main window with short connect passes, and connecting the simulated camera.

#include "app/AppFlags.h"
#include "app/ConfigStore.h"
#include "app/LangTable.h"
#include "app/MainWindow.h"
#include "app/Startup.h"
#include "device/QDevCommExec.h"
#include "device/UsbCameraLink.h"
#include "liveview/QVideoPreviewModuleWidget.h"
#include "platform/simcam/SimCamera.h"
#include "support/TestSupport.h"
#include "video/UpscaleStage.h"
#include "widgets/QIconTextHBtn.h"
#include "widgets/QMessageboxDlg.h"
#include "widgets/QTimerMessageboxWidget.h"

#include <QDialog>
#include <QStringList>
#include <QtTest>
#include <algorithm>
#include <functional>
#include <memory>

namespace LiveViewTest {

// A stage that reports itself ready and answers with a flat grey picture instead of running
// the network, so page tests can switch super-resolution without the model's cost.
inline bool noModel() { return true; }
inline bool noRun(const unsigned char*, unsigned char* pDst, int nWidth, int nHeight, float)
{
    std::fill(pDst, pDst + size_t(nWidth) * size_t(nHeight) * 8, uint8_t(128));
    return true;
}
inline const UpscaleStage kNoModel = {noModel, noRun};

// Records the text of every modal message box and answers each with nResult.
class MessageRecorder
{
public:
    explicit MessageRecorder(int nResult = QDialog::Accepted) : m_nResult(nResult)
    {
        QMessageboxDlg::setExecHookForTests([this](QMessageboxDlg& dlg) {
            m_texts.append(dlg.text());
            if (m_onMessage)
                m_onMessage(dlg);
            return m_nResult;
        });
    }
    ~MessageRecorder() { installFailSafeHook(); }

    // A message box nobody expects must not hang the test in a modal loop: it is refused
    // and reported.
    static void installFailSafeHook()
    {
        QMessageboxDlg::setExecHookForTests([](QMessageboxDlg& dlg) {
            qWarning("unexpected message box: %s", qPrintable(dlg.text()));
            return int(QDialog::Rejected);
        });
    }

    void setResult(int nResult) { m_nResult = nResult; }
    // Runs while the message box is "open" (to look at the page at that moment).
    void setOnMessage(std::function<void(QMessageboxDlg&)> fn) { m_onMessage = std::move(fn); }
    const QStringList& texts() const { return m_texts; }
    QString last() const { return m_texts.isEmpty() ? QString() : m_texts.last(); }
    int count() const { return m_texts.size(); }
    void clear() { m_texts.clear(); }

private:
    int m_nResult;
    QStringList m_texts;
    std::function<void(QMessageboxDlg&)> m_onMessage;
};

// Resources, meta types, the English table and the stylesheet; no super-resolution model.
inline void initLiveViewTests()
{
    TestSupport::initCommon();
    langTable().clear();
    loadLanguage(langTable(), 1);
    installThermavaStyleSheet();
    setUpscaleStage(&kNoModel);
    MessageRecorder::installFailSafeHook();
}

inline QString noticeText() { return QTimerMessageboxWidget::instance()->text(); }
inline QString noticeIcon() { return QTimerMessageboxWidget::instance()->iconPath(); }
inline const char* const kIconSuccess = ":/Resource/Skin/common_sucess.png";
inline const char* const kIconFailure = ":/Resource/Skin/common_fail.png";
inline const char* const kIconInfo = ":/Resource/Skin/common_info.png";

// Clears the notice so the next one can be told apart.
inline void clearNotice() { QTimerMessageboxWidget::instance()->showMessage(QString(), -1, 1); }

// The main window as the client builds it, with connect passes shortened for tests.
inline std::unique_ptr<MainWindow> makeMainWindow(int nPasses = 20)
{
    auto pWindow = std::make_unique<MainWindow>();
    pWindow->commExec()->setConnectPassInterval(10);
    pWindow->commExec()->setConnectPasses(nPasses);
    pWindow->liveView()->setConnectProgressInterval(2);
    pWindow->setRestartWaitMs(200);
    pWindow->show();
    return pWindow;
}

// Presses the standby button and waits for the camera's answer: the command executor sends
// the command, the window does not wait for it.
inline bool pressStandbyAndWait(QVideoPreviewModuleWidget* p, int nTimeoutMs = 20000)
{
    QTest::mouseClick(p->standbyButton(), Qt::LeftButton);
    return QTest::qWaitFor([p] { return !p->isCameraRequestPending(); }, nTimeoutMs);
}

inline void resetFlags()
{
    g_bRecording = false;
    g_bStandby = false;
    g_bFreeze = false;
}

} // namespace LiveViewTest
