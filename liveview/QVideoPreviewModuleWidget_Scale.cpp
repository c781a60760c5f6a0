// The page's side of the temperature scale: the colour bar per frame, the floating handle
// labels and the temperature unit of the scale's texts.
#include "liveview/QVideoPreviewModuleWidget.h"

#include "app/AppFlags.h"
#include "app/ConfigStore.h"
#include "liveview/ColorBar.h"
#include "liveview/QChamferedLabel.h"
#include "liveview/QTemperRangeAdjust.h"
#include "liveview/QVideoWndWidget.h"
#include "widgets/QUnitLabel.h"

void QVideoPreviewModuleWidget::SetYDataSlot(uint nMin, uint nMax)
{
    if (g_bStandby) {
        m_nMinY = 0;
        m_nMaxY = 0;
        return;
    }
    m_nMinY = nMin;
    m_nMaxY = nMax;
    // An invalid palette gives no bar and leaves the previous one shown.
    const std::vector<uint8_t> bar = ColorBar::updateContextBar(m_nColorization, m_nMinY, m_nMaxY);
    if (!bar.empty())
        m_pRangeAdjust->setScaleImage(bar);
}

void QVideoPreviewModuleWidget::setTopTemperHoverLabelVisibleSlot(bool bFlag)
{
    m_pTopHoverLabel->setVisible(bFlag);
    if (bFlag)
        m_pTopHoverLabel->raise();
}

void QVideoPreviewModuleWidget::setBottomTemperHoverLabelVisibleSlot(bool bFlag)
{
    m_pBottomHoverLabel->setVisible(bFlag);
    if (bFlag)
        m_pBottomHoverLabel->raise();
}

void QVideoPreviewModuleWidget::setTopTemperHoverLabelPosSlot(QPoint point)
{
    m_ptTopHoverPos = point;
    m_bHaveTopHoverPos = true;
    setHoverLabelPos(m_pTopHoverLabel, point);
}

void QVideoPreviewModuleWidget::setBottomTemperHoverLabelPosSlot(QPoint point)
{
    m_ptBottomHoverPos = point;
    m_bHaveBottomHoverPos = true;
    setHoverLabelPos(m_pBottomHoverLabel, point);
}

void QVideoPreviewModuleWidget::setHoverLabelPos(QUnitLabel* pLabel, const QPoint& point)
{
    const QPoint mapped = m_pRangeAdjust->mapTo(this, point);
    const int nScaleX = m_pTemperScaleWidget->mapTo(this, QPoint(0, 0)).x();
    pLabel->move(nScaleX - 12, mapped.y() - pLabel->height() / 2 + 9);
}

void QVideoPreviewModuleWidget::setCurHoverLabelTemperRangeSlot(float fMinTemper, float fMaxTemper)
{
    m_pTopHoverLabel->setValueText(QString::number(double(ConfigStore::convertTemper(fMaxTemper)), 'f', 1));
    m_pBottomHoverLabel->setValueText(QString::number(double(ConfigStore::convertTemper(fMinTemper)), 'f', 1));
    const QString qStrUnit = ConfigStore::getTemperUnitText();
    m_pTopHoverLabel->setUnitText(qStrUnit);
    m_pBottomHoverLabel->setUnitText(qStrUnit);
}

void QVideoPreviewModuleWidget::refreshTemperUnit()
{
    const QString qStrUnit = ConfigStore::getTemperUnitText();
    m_pTopHoverLabel->setUnitText(qStrUnit);
    m_pBottomHoverLabel->setUnitText(qStrUnit);
    // Redraws the scale's minimum and maximum (and the hover values) in the new unit.
    if (m_bHaveSceneTemps)
        m_pRangeAdjust->setSceneTemperatures(m_fLastSceneMin, m_fLastSceneMax);
}

void QVideoPreviewModuleWidget::setVideoWidgetUpdateSlot(bool bUpdate)
{
    m_pVideoWnd->videoLabel()->setUpdatesEnabled(bUpdate);
}
