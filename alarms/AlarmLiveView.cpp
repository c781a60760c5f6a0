#include "alarms/AlarmLiveView.h"

#include "alarms/AlarmMonitor.h"
#include "alarms/AlarmRuleStore.h"
#include "alarms/QTrendPanel.h"
#include "app/LangTable.h"
#include "liveview/QVideoPreviewModuleWidget.h"
#include "maintenance/PtExItem.h"
#include "maintenance/QSceneViewCtrl.h"
#include "measure/MeasureSettings.h"
#include "video/QTempRule.h"
#include "video/QVideoPlay.h"
#include "widgets/QIconTextHBtn.h"
#include "widgets/QTimerMessageboxWidget.h"

#include <QLayout>
#include <QPointer>
#include <QPushButton>
#include <memory>

AlarmMonitor* installAlarms(QVideoPreviewModuleWidget* pPage)
{
    auto* pMonitor = new AlarmMonitor(pPage);
    pMonitor->setObjectName(QStringLiteral("alarmMonitor"));
    pMonitor->setVideoPlay(pPage->videoPlay());

    // The measurement layer publishes the corrected scene and item readings; without it the
    // camera's own extremes (corrected here) drive the scene rules.
    QObject* pLayer = nullptr;
    for (QObject* pChild : pPage->children()) {
        if (pChild->inherits("QMeasureLayer"))
            pLayer = pChild;
    }
    if (pLayer) {
        QObject::connect(pLayer, SIGNAL(sendMeasureReadingsSignal(QVector<Measure::MeasureReading>)), pMonitor,
                         SLOT(setMeasureReadingsSlot(QVector<Measure::MeasureReading>)));
        QObject::connect(pLayer, SIGNAL(sendSceneReadingSignal(Measure::SceneReading)), pMonitor,
                         SLOT(setSceneReadingSlot(Measure::SceneReading)));
    } else {
        QObject::connect(pPage->tempRule(), &QTempRule::SendHotPointSignal, pMonitor, [pMonitor](const ThermHotPointParam& st) {
            const Measure::Emissivity emissivity = Measure::loadEmissivity();
            Measure::SceneReading scene;
            scene.fMax = emissivity.correct(st.fMaxTemper);
            scene.fMin = emissivity.correct(st.fMinTemper);
            scene.fAvg = qQNaN();   // average rules wait for the measurement layer
            scene.bValid = true;
            pMonitor->setSceneReadingSlot(scene);
        });
    }
    // A camera that goes away ends its alarms, and so does standby: no readings are taken
    // then, and an alarm left open would end only when the camera wakes.
    QObject::connect(pPage, &QVideoPreviewModuleWidget::ChangeConnectStatusSignal, pMonitor, [pMonitor](bool bConnected) {
        if (!bConnected)
            pMonitor->endAllSlot();
    });
    QObject::connect(pPage, &QVideoPreviewModuleWidget::sendStandbyModeChangedSignal, pMonitor, [pMonitor](bool bSleep) {
        if (bSleep)
            pMonitor->endAllSlot();
    });
    // The alarm's own snapshot reports its success moments later, which would replace the
    // notice naming the rule: the notice is shown again after it.
    auto pSnapshotNotice = std::make_shared<QString>();
    QObject::connect(pMonitor, &AlarmMonitor::sendAlarmStateSignal, pPage,
                     [pPage, pMonitor, pSnapshotNotice](bool bActive, const QString& qStrRule) {
        if (PtExItem* pMarker = pPage->overlay() ? pPage->overlay()->marker() : nullptr) {
            pMarker->setAlarm(bActive);
            pPage->updateMarkerPicture();
        }
        if (!bActive)
            return;
        const QString qStrNotice = langText(QStringLiteral("AlarmRaised")) + QLatin1Char(' ') + qStrRule;
        QTimerMessageboxWidget::showNotice(qStrNotice, 3, 2000);
        for (const Alarm::Rule& rule : pMonitor->rules()) {
            if (rule.bSnapshot && Alarm::ruleText(rule) == qStrRule)
                *pSnapshotNotice = qStrNotice;
        }
    });
    // Connected after the page's own handler, so this runs after its notice.
    QObject::connect(pPage->videoPlay(), &QVideoPlay::sendSnapshotResultSignals, pPage, [pSnapshotNotice](int nCode) {
        if (nCode == 0 && !pSnapshotNotice->isEmpty())
            QTimerMessageboxWidget::showNotice(*pSnapshotNotice, 3, 2000);
        pSnapshotNotice->clear();
    });

    // The panel opens from a button under the snapshot and record buttons.
    if (QWidget* pPanel = pPage->snapshotButton() ? pPage->snapshotButton()->parentWidget() : nullptr) {
        auto* pBtn = new QPushButton(langText(QStringLiteral("TemperDistribute")), pPanel);
        pBtn->setObjectName(QStringLiteral("BtnStyle1"));
        pBtn->setFixedHeight(32);
        if (pPanel->layout())
            pPanel->layout()->addWidget(pBtn);
        auto* pTrend = new QPointer<QTrendPanel>;
        QObject::connect(pBtn, &QObject::destroyed, [pTrend] { delete pTrend; });
        QObject::connect(pBtn, &QPushButton::clicked, pPage, [pPage, pMonitor, pTrend] {
            if (!*pTrend) {
                *pTrend = new QTrendPanel(pMonitor, pPage->videoPlay(), pPage);
                (*pTrend)->setAttribute(Qt::WA_DeleteOnClose);
            }
            (*pTrend)->show();
            (*pTrend)->raise();
        });
    }
    return pMonitor;
}
