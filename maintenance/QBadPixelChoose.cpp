#include "maintenance/QBadPixelChoose.h"

#include "app/AppFlags.h"
#include "app/LangTable.h"
#include "device/UsbCameraLink.h"
#include "maintenance/BadPixelColItem.h"
#include "maintenance/BadPixelItem.h"
#include "maintenance/BadPixelTable.h"
#include "maintenance/BadPixelTransfer.h"
#include "video/QVideoPlay.h"
#include "video/VideoGlobals.h"
#include "widgets/QMessageboxDlg.h"
#include "widgets/QTimerMessageboxWidget.h"

#include <QAction>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QGraphicsSceneMouseEvent>
#include <QGraphicsSceneWheelEvent>
#include <QGraphicsView>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QPushButton>
#include <QSpacerItem>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace {

const char* const kDeleteIconCaption = ":/Resource/Skin/galleryIcon_Delete_n.png";
const char* const kDeleteIconRow = ":/Resource/Skin/galleryIcon_Delete_h.png";

// Two notices have no entry in the shipped tables; they show their own words.
QString textOrKey(const char* pszKey)
{
    const QString text = langText(pszKey);
    return text.isEmpty() ? QString::fromUtf8(pszKey) : text;
}

bool isConnected() { return UsbCameraLink::instance().bStreaming.load(); }

QTableWidgetItem* centredItem(const QString& qStrText)
{
    auto* pItem = new QTableWidgetItem(qStrText);
    pItem->setTextAlignment(Qt::AlignCenter);
    return pItem;
}

void showWriteResult(bool bRet)
{
    if (bRet)
        QTimerMessageboxWidget::showNotice(langText("Operate succeed"), QTimerMessageboxWidget::Success, 2000);
    else
        QTimerMessageboxWidget::showNotice(langText("Operate failed"), QTimerMessageboxWidget::Failure, 2000);
}

void fillZero(int* pArray, int nInts) { std::memset(pArray, 0, sizeof(int) * size_t(nInts)); }

} // namespace

QBadPixelChoose::QBadPixelChoose(QWidget* parent) : QWidget(parent)
{
    // Frames and table arrays cross threads in queued calls.
    qRegisterMetaType<unsigned char*>("unsigned char*");
    qRegisterMetaType<int*>("int*");

    resize(623, 572);
    buildLayout();
    m_pScene->installEventFilter(this);

    m_pMenu = new QMenu(this);
    m_pAddBPAct = m_pMenu->addAction(langText("AddBP"));
    m_pDeleteBPAct = m_pMenu->addAction(langText("DeleteBP"));
    m_pDeleteAllBPAct = m_pMenu->addAction(langText("DeleteAllBP"));
    m_pAddBPColAct = m_pMenu->addAction(langText("AddBPCol"));
    m_pDeleteBPColAct = m_pMenu->addAction(langText("DeleteBPCol"));
    m_pDeleteAllBPColAct = m_pMenu->addAction(langText("DeleteAllBPCol"));
    m_pAutoResizeAct = m_pMenu->addAction(langText("AutoResize"));
    m_pAddBPAct->setObjectName("AddBP");
    m_pDeleteBPAct->setObjectName("DeleteBP");
    m_pDeleteAllBPAct->setObjectName("DeleteAllBP");
    m_pAddBPColAct->setObjectName("AddBPCol");
    m_pDeleteBPColAct->setObjectName("DeleteBPCol");
    m_pDeleteAllBPColAct->setObjectName("DeleteAllBPCol");
    m_pAutoResizeAct->setObjectName("AutoResize");

    m_pVideoPlay = new QVideoPlay;
    m_pVideoPlay->moveToThread(&m_videoThread);

    connect(this, SIGNAL(sendVideoPlaySignals(void*, bool)), m_pVideoPlay, SLOT(setVideoPlaySlots(void*, bool)));
    connect(m_pVideoPlay, SIGNAL(sendYUVSignals(unsigned char*, int)), this, SLOT(setShowImage(unsigned char*, int)));
    connect(m_pAddBPAct, SIGNAL(triggered()), this, SLOT(AddBPActSlots()));
    connect(m_pDeleteBPAct, SIGNAL(triggered()), this, SLOT(DelBPActSlots()));
    connect(m_pDeleteAllBPAct, SIGNAL(triggered()), this, SLOT(deleteAllBadPixelsSlot()));
    connect(m_pAddBPColAct, SIGNAL(triggered()), this, SLOT(AddBPColActSlots()));
    connect(m_pDeleteBPColAct, SIGNAL(triggered()), this, SLOT(DelBPColActSlots()));
    connect(m_pDeleteAllBPColAct, SIGNAL(triggered()), this, SLOT(deleteAllBadColumnsSlot()));
    connect(m_pAutoResizeAct, SIGNAL(triggered()), this, SLOT(AutoResizeActSlots()));
    connect(m_pSaveButton, SIGNAL(clicked()), this, SLOT(onBtnSaveSlots()));
    connect(m_pSetButton, SIGNAL(clicked()), this, SLOT(onBtnSetSlots()));
    connect(&m_videoThread, SIGNAL(finished()), m_pVideoPlay, SLOT(deleteLater()));
    connect(m_pBadPixelTableWidget, SIGNAL(cellPressed(int, int)), this, SLOT(onBadPixelCellClicked(int, int)));
    connect(m_pBadPixelColTableWidget, SIGNAL(cellPressed(int, int)), this, SLOT(onBadPixelColCellClicked(int, int)));

    m_videoThread.start(QThread::InheritPriority);
}

QBadPixelChoose::~QBadPixelChoose()
{
    // The engine goes with its thread (finished -> deleteLater) and stops taking frames first.
    m_videoThread.quit();
    m_videoThread.wait();

    // Arrays lent to requests still under way stay alive (the executor may be writing into them);
    // only the idle pair is ours alone.
    BadPixelTransfer::release(m_idleColumns.pIndex);
    BadPixelTransfer::release(m_idleColumns.pCol);
    m_idleColumns = ColumnTransfer();

    // Markers report to their page while painting; the page is going away.
    m_pScene->removeEventFilter(this);
    for (const BadPixelEntry& entry : m_badPixels)
        entry.item->setOwner(nullptr);
    for (const BadColumnEntry& entry : m_badColumns)
        entry.item->setOwner(nullptr);
    delete m_pScene;
    m_pScene = nullptr;
}

// ---------------------------------------------------------------------------------------
// Layout

void QBadPixelChoose::buildLayout()
{
    auto* pMainLayout = new QHBoxLayout(this);
    pMainLayout->setContentsMargins(0, 0, 0, 0);
    pMainLayout->setSpacing(0);

    m_pScene = new QGraphicsScene(this);
    m_pGraphicsView = new QGraphicsView(m_pScene, this);
    m_pGraphicsView->setObjectName("GraphicsView");
    m_pGraphicsView->setRenderHint(QPainter::Antialiasing, true);
    m_pGraphicsView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_pGraphicsView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_pGraphicsView->setInteractive(true);
    m_pGraphicsView->setFocusPolicy(Qt::NoFocus);
    m_pGraphicsView->setDragMode(QGraphicsView::ScrollHandDrag);
    m_pGraphicsView->setBackgroundBrush(QBrush(Qt::black, Qt::SolidPattern));
    m_pGraphicsView->setStyleSheet("border:0px");

    auto* pViewLayout = new QVBoxLayout;
    pViewLayout->setContentsMargins(0, 0, 0, 0);
    pViewLayout->setSpacing(0);
    pViewLayout->addItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum));
    pViewLayout->insertWidget(0, m_pGraphicsView);
    pMainLayout->addLayout(pViewLayout, 1);

    auto* pLine = new QLabel(this);
    pLine->setObjectName("Line1Label");
    pLine->setFixedWidth(1);
    pMainLayout->addWidget(pLine);

    m_pModuleWidget = new QWidget(this);
    m_pModuleWidget->setObjectName("moduleWidget");
    m_pModuleWidget->setFixedWidth(350);
    auto* pPanelLayout = new QVBoxLayout(m_pModuleWidget);
    pPanelLayout->setSpacing(20);
    pPanelLayout->setContentsMargins(20, 20, 20, 20);

    m_pBadPixelTableWidget = makeTable("BadPixelCoordinate", SLOT(onTableAllBPDelBtnClicked()));
    m_pBadPixelColTableWidget = makeTable("BadPixelColCoordinate", SLOT(onTableAllDelColBtnClicked()));
    auto makeSeparator = [this] {
        auto* pSeparator = new QLabel(m_pModuleWidget);
        pSeparator->setObjectName("Line1Label");
        pSeparator->setFixedHeight(1);
        return pSeparator;
    };
    pPanelLayout->addWidget(m_pBadPixelTableWidget);
    pPanelLayout->addWidget(makeSeparator());
    pPanelLayout->addWidget(m_pBadPixelColTableWidget);
    pPanelLayout->addWidget(makeSeparator());
    pPanelLayout->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding));

    m_pSaveButton = new QPushButton(langText("Save"), m_pModuleWidget);
    m_pSetButton = new QPushButton(langText("Settings"), m_pModuleWidget);
    for (QPushButton* pButton : {m_pSaveButton, m_pSetButton}) {
        pButton->setFixedSize(100, 32);
        pButton->setObjectName("BtnStyle1");
    }
    auto* pButtonLayout = new QHBoxLayout;
    pButtonLayout->addItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum));
    pButtonLayout->addWidget(m_pSaveButton);
    pButtonLayout->addWidget(m_pSetButton);
    pButtonLayout->addItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum));
    pPanelLayout->addLayout(pButtonLayout);

    pMainLayout->addWidget(m_pModuleWidget);
}

QTableWidget* QBadPixelChoose::makeTable(const char* pszCaptionKey, const char* pszDeleteAllSlot)
{
    auto* pTable = new QTableWidget(m_pModuleWidget);
    pTable->setObjectName("TemperRuleTableWidget");
    pTable->setColumnCount(3);
    pTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    pTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    pTable->setFocusPolicy(Qt::NoFocus);
    pTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    pTable->horizontalHeader()->hide();
    pTable->verticalHeader()->hide();

    // Row 0 is the caption row with the delete-all button.
    pTable->setRowCount(1);
    pTable->setItem(0, 0, centredItem(langText("Number")));
    pTable->setItem(0, 1, centredItem(langText(pszCaptionKey)));
    auto* pDeleteAll = new QPushButton(pTable);
    pDeleteAll->setIcon(QIcon(kDeleteIconCaption));
    pDeleteAll->setStyleSheet("border: 0px");
    connect(pDeleteAll, SIGNAL(clicked()), this, pszDeleteAllSlot);
    pTable->setCellWidget(0, 2, pDeleteAll);
    return pTable;
}

void QBadPixelChoose::appendRow(QTableWidget* pTable, const QString& qStrText, const char* pszDeleteSlot)
{
    const int nRow = pTable->rowCount();
    pTable->insertRow(nRow);
    pTable->setItem(nRow, 0, centredItem(QString::number(nRow)));
    pTable->setItem(nRow, 1, centredItem(qStrText));
    auto* pDelete = new QPushButton(pTable);
    pDelete->setIcon(QIcon(kDeleteIconRow));
    pDelete->setStyleSheet("border: 0px");
    connect(pDelete, SIGNAL(clicked()), this, pszDeleteSlot);
    pTable->setCellWidget(nRow, 2, pDelete);
}

void QBadPixelChoose::removeDataRow(QTableWidget* pTable, int nRow)
{
    // The rows after it move up one: their numbers follow, so numbering stays 1..n.
    for (int r = nRow + 1; r < pTable->rowCount(); ++r)
        if (QTableWidgetItem* pItem = pTable->item(r, 0))
            pItem->setText(QString::number(r - 1));
    pTable->removeRow(nRow);
}

int QBadPixelChoose::clickedDataRow(QTableWidget* pTable) const
{
    // A row's own delete button deletes that row, whichever row is current.
    if (const QObject* pSender = sender()) {
        for (int r = 1; r < pTable->rowCount(); ++r)
            if (pTable->cellWidget(r, 2) == pSender)
                return r;
        if (pTable->cellWidget(0, 2) == pSender)
            return -1;
    }
    return pTable->currentRow();
}

// ---------------------------------------------------------------------------------------
// Entries and markers (row r of a table belongs to entry r - 1)

void QBadPixelChoose::addPixelEntry(int x, int y)
{
    auto* pItem = new BadPixelItem;
    pItem->setOwner(this);
    pItem->setPos(x, y);
    m_pScene->addItem(pItem);
    m_badPixels.append({x, y, pItem});
    appendRow(m_pBadPixelTableWidget, BadPixelTable::pixelText(x, y), SLOT(onTableBtnClicked()));
}

void QBadPixelChoose::addColumnEntry(int nColumn)
{
    const int h = columnMarkerHalfSize;
    const int nHeight = pictureSize().height();
    auto* pItem = new BadPixelColItem;
    pItem->setOwner(this);
    pItem->setHeight(nHeight);
    pItem->setRect(-h, 0, 2 * h + 1, nHeight);
    pItem->setPos(nColumn, 0);
    m_pScene->addItem(pItem);
    m_badColumns.append({nColumn, pItem});
    appendRow(m_pBadPixelColTableWidget, QString::number(nColumn), SLOT(onTableBtnDelColClicked()));
}

void QBadPixelChoose::removePixelEntry(int nIndex)
{
    if (nIndex < 0 || nIndex >= m_badPixels.size())
        return;
    const int nRow = nIndex + 1;
    removeDataRow(m_pBadPixelTableWidget, nRow);
    BadPixelItem* pItem = m_badPixels[nIndex].item;
    m_pScene->removeItem(pItem);
    delete pItem;
    m_badPixels.remove(nIndex);
    if (m_nLastPixelRow == nRow)
        m_nLastPixelRow = -1;
    else if (m_nLastPixelRow > nRow)
        --m_nLastPixelRow;
}

void QBadPixelChoose::removeColumnEntry(int nIndex)
{
    if (nIndex < 0 || nIndex >= m_badColumns.size())
        return;
    const int nRow = nIndex + 1;
    removeDataRow(m_pBadPixelColTableWidget, nRow);
    BadPixelColItem* pItem = m_badColumns[nIndex].item;
    m_pScene->removeItem(pItem);
    delete pItem;
    m_badColumns.remove(nIndex);
    if (m_nLastColumnRow == nRow)
        m_nLastColumnRow = -1;
    else if (m_nLastColumnRow > nRow)
        --m_nLastColumnRow;
}

void QBadPixelChoose::removeAllPixels()
{
    for (const BadPixelEntry& entry : m_badPixels) {
        m_pScene->removeItem(entry.item);
        delete entry.item;
    }
    m_badPixels.clear();
    m_pBadPixelTableWidget->setRowCount(1);
    m_pBadPixelTableWidget->clearSelection();
    m_nLastPixelRow = -1;
}

void QBadPixelChoose::removeAllColumns()
{
    for (const BadColumnEntry& entry : m_badColumns) {
        m_pScene->removeItem(entry.item);
        delete entry.item;
    }
    m_badColumns.clear();
    m_pBadPixelColTableWidget->setRowCount(1);
    m_pBadPixelColTableWidget->clearSelection();
    m_nLastColumnRow = -1;
}

void QBadPixelChoose::removePicture()
{
    if (m_pPixmapItem) {
        m_pScene->removeItem(m_pPixmapItem);
        delete m_pPixmapItem;
        m_pPixmapItem = nullptr;
    }
    m_pixmap = QPixmap();
}

// ---------------------------------------------------------------------------------------
// Context menu actions

QPoint QBadPixelChoose::lastRightClickPixel() const
{
    // Truncation toward zero; the point is on the picture, so this is the pixel under it.
    return QPoint(static_cast<int>(m_lastRightClickScenePos.x()), static_cast<int>(m_lastRightClickScenePos.y()));
}

void QBadPixelChoose::AddBPActSlots()
{
    const QPoint pixel = lastRightClickPixel();
    bool bListed = false;
    for (const BadPixelEntry& entry : m_badPixels) {
        if (entry.x == pixel.x() && entry.y == pixel.y()) {
            bListed = true;
            break;
        }
    }
    if (bListed)
        notice(langText("The bad pixel is set"));
    else
        addPixelEntry(pixel.x(), pixel.y());
    m_pBadPixelTableWidget->clearSelection();
}

void QBadPixelChoose::AddBPColActSlots()
{
    const int nColumn = lastRightClickPixel().x();
    BadPixelTable::ColumnConflict conflict = BadPixelTable::ColumnConflict::None;
    for (const BadColumnEntry& entry : m_badColumns) {
        conflict = BadPixelTable::columnConflict(entry.column, nColumn);
        if (conflict != BadPixelTable::ColumnConflict::None)
            break;
    }
    if (conflict == BadPixelTable::ColumnConflict::Same)
        notice(langText("The bad column is set"));
    else if (conflict == BadPixelTable::ColumnConflict::Adjacent)
        notice(langText("There are adjacent bad columns"));
    else
        addColumnEntry(nColumn);
    m_pBadPixelColTableWidget->clearSelection();
}

void QBadPixelChoose::DelBPActSlots()
{
    const QList<QGraphicsItem*> selected = m_pScene->selectedItems();
    for (QGraphicsItem* pSelected : selected) {
        for (int i = 0; i < m_badPixels.size(); ++i) {
            if (static_cast<QGraphicsItem*>(m_badPixels[i].item) == pSelected) {
                removePixelEntry(i);
                break;
            }
        }
    }
    m_pBadPixelTableWidget->clearSelection();
}

void QBadPixelChoose::DelBPColActSlots()
{
    const QList<QGraphicsItem*> selected = m_pScene->selectedItems();
    for (QGraphicsItem* pSelected : selected) {
        for (int i = 0; i < m_badColumns.size(); ++i) {
            if (static_cast<QGraphicsItem*>(m_badColumns[i].item) == pSelected) {
                removeColumnEntry(i);
                break;
            }
        }
    }
    m_pBadPixelColTableWidget->clearSelection();
}

void QBadPixelChoose::DelAllBPActSlots() { removeAllPixels(); }

void QBadPixelChoose::DelAllBPColActSlots() { removeAllColumns(); }

void QBadPixelChoose::deleteAllBadPixelsSlot()
{
    if (QMessageboxDlg::askConfirm(this, langText("DeleteAllBP") + "?"))
        DelAllBPActSlots();
}

void QBadPixelChoose::deleteAllBadColumnsSlot()
{
    if (QMessageboxDlg::askConfirm(this, langText("DeleteAllBPCol") + "?"))
        DelAllBPColActSlots();
}

void QBadPixelChoose::AutoResizeActSlots()
{
    if (m_pPixmapItem)
        fitPicture();
}

void QBadPixelChoose::fitPicture()
{
    m_pGraphicsView->fitInView(m_pPixmapItem, Qt::KeepAspectRatio);
    m_fZoomFactor = 1.0;
    // Marker sizes follow the zoom factor, which starts again from 1.
    updateMarkerHalfSizes(m_pScene, m_fZoomFactor);
}

// ---------------------------------------------------------------------------------------
// Table buttons and cells

void QBadPixelChoose::onTableBtnClicked()
{
    const int nRow = clickedDataRow(m_pBadPixelTableWidget);
    if (nRow < 1 || nRow > m_badPixels.size())
        return;
    removePixelEntry(nRow - 1);
    m_pBadPixelTableWidget->clearSelection();
}

void QBadPixelChoose::onTableBtnDelColClicked()
{
    const int nRow = clickedDataRow(m_pBadPixelColTableWidget);
    if (nRow < 1 || nRow > m_badColumns.size())
        return;
    removeColumnEntry(nRow - 1);
    m_pBadPixelColTableWidget->clearSelection();
}

void QBadPixelChoose::onTableAllBPDelBtnClicked()
{
    if (m_pBadPixelTableWidget->rowCount() <= 1)
        return;
    if (QMessageboxDlg::askConfirm(this, langText("DeleteAllBP") + "?"))
        DelAllBPActSlots();
}

void QBadPixelChoose::onTableAllDelColBtnClicked()
{
    if (m_pBadPixelColTableWidget->rowCount() <= 1)
        return;
    if (QMessageboxDlg::askConfirm(this, langText("DeleteAllBPCol") + "?"))
        DelAllBPColActSlots();
}

void QBadPixelChoose::onBadPixelCellClicked(int nRow, int nColumn)
{
    Q_UNUSED(nColumn);
    if (nRow < 1)
        return;
    if (m_nLastPixelRow > 0 && m_nLastPixelRow != nRow && m_nLastPixelRow <= m_badPixels.size())
        m_badPixels[m_nLastPixelRow - 1].item->setSelected(false);
    if (nRow <= m_badPixels.size()) {
        m_badPixels[nRow - 1].item->setSelected(true);
        m_nLastPixelRow = nRow;
    }
}

void QBadPixelChoose::onBadPixelColCellClicked(int nRow, int nColumn)
{
    Q_UNUSED(nColumn);
    if (nRow < 1)
        return;
    if (m_nLastColumnRow > 0 && m_nLastColumnRow != nRow && m_nLastColumnRow <= m_badColumns.size())
        m_badColumns[m_nLastColumnRow - 1].item->setSelected(false);
    if (nRow <= m_badColumns.size()) {
        m_badColumns[nRow - 1].item->setSelected(true);
        m_nLastColumnRow = nRow;
    }
}

void QBadPixelChoose::pixelMarkerSelected(BadPixelItem* pItem)
{
    for (int i = 0; i < m_badPixels.size(); ++i) {
        if (m_badPixels[i].item != pItem)
            continue;
        const int nRow = i + 1;
        if (!m_pBadPixelTableWidget->selectionModel()->isRowSelected(nRow, QModelIndex()))
            m_pBadPixelTableWidget->selectRow(nRow);
        m_nLastPixelRow = nRow;
        return;
    }
}

void QBadPixelChoose::columnMarkerSelected(BadPixelColItem* pItem)
{
    for (int i = 0; i < m_badColumns.size(); ++i) {
        if (m_badColumns[i].item != pItem)
            continue;
        const int nRow = i + 1;
        if (!m_pBadPixelColTableWidget->selectionModel()->isRowSelected(nRow, QModelIndex()))
            m_pBadPixelColTableWidget->selectRow(nRow);
        m_nLastColumnRow = nRow;
        return;
    }
}

// ---------------------------------------------------------------------------------------
// Mouse: right-click menu, wheel zoom, selection check

QSize QBadPixelChoose::frameSize() const
{
    // The page's own engine first: the process-wide size is zeroed when the live view stops its
    // preview, and this engine only publishes its size again when the size changes.
    const int w = m_pVideoPlay ? m_pVideoPlay->frameWidth() : 0;
    const int h = m_pVideoPlay ? m_pVideoPlay->frameHeight() : 0;
    if (w > 0 && h > 0)
        return QSize(w, h);
    return QSize(g_nFrameWidth.load(), g_nFrameHeight.load());
}

QSize QBadPixelChoose::pictureSize() const
{
    const QSize size = frameSize();
    if (size.width() > 0 && size.height() > 0)
        return size;
    // Before any frame: the camera's image size.
    const UsbCameraLink& link = UsbCameraLink::instance();
    return QSize(link.nWidth, link.nHeight);
}

bool QBadPixelChoose::isOnPicture(const QPointF& scenePos) const
{
    const QSize size = pictureSize();
    return scenePos.x() >= 0.0 && scenePos.y() >= 0.0 && scenePos.x() < size.width() && scenePos.y() < size.height();
}

void QBadPixelChoose::openMenuAt(const QPointF& scenePos, const QPoint& screenPos)
{
    m_lastRightClickScenePos = scenePos;
    const QPoint viewportPos = m_pGraphicsView->mapFromScene(scenePos);
    m_lastRightClickPos = QPointF(m_pGraphicsView->viewport()->mapTo(this, viewportPos));
    if (m_menuHook)
        m_menuHook(*m_pMenu, screenPos);
    else
        m_pMenu->exec(screenPos);
}

void QBadPixelChoose::runMarkerContextMenu(const QPoint& screenPos, const QPointF& scenePos)
{
    if (isOnPicture(scenePos))
        openMenuAt(scenePos, screenPos);
}

void QBadPixelChoose::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::RightButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    QWidget* pViewport = m_pGraphicsView->viewport();
    const QPointF viewportPos = event->localPos() - QPointF(pViewport->mapTo(this, QPoint(0, 0)));
    if (!pViewport->rect().contains(viewportPos.toPoint()))
        return;
    const QPointF scenePos = m_pGraphicsView->viewportTransform().inverted().map(viewportPos);
    // A selected marker runs the menu from its own context menu event; one menu per click.
    const QList<QGraphicsItem*> under = m_pScene->items(scenePos);
    for (QGraphicsItem* pItem : under) {
        if (!pItem->isSelected())
            continue;
        if (dynamic_cast<BadPixelItem*>(pItem) || dynamic_cast<BadPixelColItem*>(pItem))
            return;
    }
    if (isOnPicture(scenePos))
        openMenuAt(scenePos, event->globalPos());
}

bool QBadPixelChoose::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_pScene)
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::GraphicsSceneWheel) {
        auto* pWheel = static_cast<QGraphicsSceneWheelEvent*>(event);
        m_pGraphicsView->setTransformationAnchor(QGraphicsView::AnchorUnderMouse);
        if (pWheel->delta() > 0 && m_fZoomFactor < 30.0) {
            m_fZoomFactor *= 1.1;
            m_pGraphicsView->scale(1.1, 1.1);
        } else if (pWheel->delta() < 0 && m_fZoomFactor > 0.3) {
            m_fZoomFactor *= 0.9;
            m_pGraphicsView->scale(0.9, 0.9);
        }
        updateMarkerHalfSizes(m_pScene, m_fZoomFactor);
        // Accepted, or the view would scroll as well.
        pWheel->accept();
        return true;
    }
    if (event->type() == QEvent::GraphicsSceneMouseRelease) {
        auto* pRelease = static_cast<QGraphicsSceneMouseEvent*>(event);
        if (pRelease->button() == Qt::LeftButton) {
            const bool bPixelSelected = std::any_of(m_badPixels.cbegin(), m_badPixels.cend(),
                                                    [](const BadPixelEntry& e) { return e.item->isSelected(); });
            const bool bColumnSelected = std::any_of(m_badColumns.cbegin(), m_badColumns.cend(),
                                                     [](const BadColumnEntry& e) { return e.item->isSelected(); });
            if (!bPixelSelected)
                m_pBadPixelTableWidget->clearSelection();
            if (!bColumnSelected)
                m_pBadPixelColTableWidget->clearSelection();
            // Passed on: the scene must see the release to end the item's mouse grab, or the
            // next press would go to the marker pressed before.
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------
// Showing, picture

void QBadPixelChoose::notice(const QString& qStrText) { QMessageboxDlg::showMessage(this, qStrText); }

bool QBadPixelChoose::cameraReady()
{
    if (!isConnected()) {
        notice(langText("Device is not connect."));
        return false;
    }
    if (g_bStandby) {
        notice(langText("Device is sleeping, please turn off sleep mode"));
        return false;
    }
    return true;
}

void QBadPixelChoose::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (isConnected() && !g_bStandby) {
        notice(langText("Please operate with the accompaniment of a professional."));
        if (m_pPixmapItem)
            fitPicture();
    } else if (isConnected()) {
        notice(langText("Device is sleeping, please turn off sleep mode"));
    } else {
        notice(langText("Device is not connect."));
    }
}

void QBadPixelChoose::startVideoPlay()
{
    if (!isConnected())
        return;
    emit sendVideoPlaySignals(static_cast<void*>(m_pGraphicsView), false);
}

void QBadPixelChoose::convertUyvyToRgb888(const unsigned char* pSrc, unsigned char* pDst, int nWidth, int nHeight)
{
    if (!pSrc || !pDst || nWidth < 1 || nHeight < 1)
        return;
    const auto clampByte = [](double fValue) {
        const int n = static_cast<int>(fValue);   // toward zero
        return static_cast<unsigned char>(n < 0 ? 0 : (n > 255 ? 255 : n));
    };
    const size_t nPairs = size_t(nWidth) * size_t(nHeight) / 2;
    for (size_t i = 0; i < nPairs; ++i) {
        const unsigned char* s = pSrc + 4 * i;
        const double u = double(s[0]) - 128.0;
        const double v = double(s[2]) - 128.0;
        const double luma[2] = {double(s[1]), double(s[3])};
        unsigned char* d = pDst + 6 * i;
        for (int k = 0; k < 2; ++k) {
            const double y = luma[k];
            d[3 * k + 0] = clampByte(y + 1.370705 * v);
            d[3 * k + 1] = clampByte(y - 0.698001 * v - 0.337633 * u);
            d[3 * k + 2] = clampByte(y + 1.732446 * u);
        }
    }
}

void QBadPixelChoose::setShowImage(unsigned char* data, int nScale)
{
    Q_UNUSED(nScale);
    const QSize size = frameSize();
    const int nWidth = size.width();
    const int nHeight = size.height();
    if (!data || nWidth < 1 || nHeight < 1)
        return;
    const size_t nPixels = size_t(nWidth) * size_t(nHeight);
    std::unique_ptr<unsigned char[]> yuv(new (std::nothrow) unsigned char[nPixels * 2]);
    std::unique_ptr<unsigned char[]> rgb(new (std::nothrow) unsigned char[nPixels * 3]);
    if (!yuv || !rgb)
        return;   // the frame is dropped
    std::memcpy(yuv.get(), data, nPixels * 2);
    convertUyvyToRgb888(yuv.get(), rgb.get(), nWidth, nHeight);
    const QImage image(rgb.get(), nWidth, nHeight, nWidth * 3, QImage::Format_RGB888);
    m_pixmap = QPixmap::fromImage(image);   // a deep copy; the buffers go at the end of scope

    if (m_pPixmapItem) {
        m_pPixmapItem->setPixmap(m_pixmap);
    } else {
        m_pPixmapItem = m_pScene->addPixmap(m_pixmap);
        m_pPixmapItem->setPos(0, 0);
    }
    // Columns read before the first frame did not know the picture's height.
    const int h = columnMarkerHalfSize;
    for (const BadColumnEntry& entry : m_badColumns) {
        if (entry.item->height() != nHeight) {
            entry.item->setHeight(nHeight);
            entry.item->setRect(-h, 0, 2 * h + 1, nHeight);
        }
    }
    if (m_bFitOnFirstPicture) {
        m_pGraphicsView->fitInView(m_pPixmapItem, Qt::KeepAspectRatio);
        m_bFitOnFirstPicture = false;
    }
}

void QBadPixelChoose::clearPage()
{
    DelAllBPActSlots();
    DelAllBPColActSlots();
    removePicture();
    // What the camera answers to requests made before the loss no longer belongs on the page.
    for (ColumnTransfer& transfer : m_columnReads)
        transfer.bStale = true;
    for (ColumnTransfer& transfer : m_columnWrites)
        transfer.bStale = true;
    for (PixelRead& read : m_pixelReads)
        read.bStale = true;
    for (bool& bStale : m_pixelWrites)
        bStale = true;
}

// ---------------------------------------------------------------------------------------
// Talking to the camera

QBadPixelChoose::ColumnTransfer QBadPixelChoose::takeColumnTransfer()
{
    ColumnTransfer transfer;
    if (m_idleColumns.pIndex && m_idleColumns.pCol) {
        transfer = m_idleColumns;
        m_idleColumns = ColumnTransfer();
        fillZero(transfer.pIndex, kColumnArraySize);
        fillZero(transfer.pCol, kColumnArraySize);
    } else {
        transfer.pIndex = BadPixelTransfer::allocate(kColumnArraySize);
        transfer.pCol = BadPixelTransfer::allocate(kColumnArraySize);
        if (!transfer.pIndex || !transfer.pCol) {
            BadPixelTransfer::release(transfer.pIndex);
            BadPixelTransfer::release(transfer.pCol);
            return ColumnTransfer();
        }
    }
    transfer.bStale = false;
    return transfer;
}

void QBadPixelChoose::returnColumnTransfer(const ColumnTransfer& transfer)
{
    if (!m_idleColumns.pIndex) {
        m_idleColumns = transfer;
        m_idleColumns.bStale = false;
        return;
    }
    BadPixelTransfer::release(transfer.pIndex);
    BadPixelTransfer::release(transfer.pCol);
}

void QBadPixelChoose::requestAllBadSet()
{
    if (!isConnected() || g_bStandby)
        return;

    // A request nobody receives never comes back: its arrays are kept (or freed) right here.
    static const QMetaMethod s_getCols = QMetaMethod::fromSignal(&QBadPixelChoose::sendGetALLBadColsSignal);
    static const QMetaMethod s_getPixels = QMetaMethod::fromSignal(&QBadPixelChoose::sendGetALLBadPixelsSignal);

    if (isSignalConnected(s_getCols)) {
        const ColumnTransfer transfer = takeColumnTransfer();
        if (transfer.pIndex) {
            // Recorded before the emit: a direct connection answers inside it.
            m_columnReads.push_back(transfer);
            emit sendGetALLBadColsSignal(transfer.pIndex, transfer.pCol);
        }
    }

    if (isSignalConnected(s_getPixels)) {
        int* pIndex = new (std::nothrow) int[kPixelArraySize]();   // freed by the executor
        int* pRow = BadPixelTransfer::allocate(kPixelArraySize);
        int* pCol = BadPixelTransfer::allocate(kPixelArraySize);
        if (!pIndex || !pRow || !pCol) {
            delete[] pIndex;
            BadPixelTransfer::release(pRow);
            BadPixelTransfer::release(pCol);
            return;
        }
        m_pixelReads.push_back({pRow, false});
        emit sendGetALLBadPixelsSignal(pIndex, pRow, pCol);
    }
}

void QBadPixelChoose::getAllBadColsResult(bool bRet, int nCount, int* pszIndex, int* pszCol)
{
    ColumnTransfer transfer;
    bool bOurs = false;
    for (auto it = m_columnReads.begin(); it != m_columnReads.end(); ++it) {
        if (it->pIndex == pszIndex && it->pCol == pszCol) {
            transfer = *it;
            bOurs = true;
            m_columnReads.erase(it);
            break;
        }
    }
    if (bOurs && transfer.bStale) {
        returnColumnTransfer(transfer);
        return;
    }
    const bool bValid = bRet && nCount >= 0 && nCount <= kColumnArraySize && (nCount == 0 || pszCol);
    if (bValid) {
        removeAllColumns();
        for (int i = 0; i < nCount; ++i)
            addColumnEntry(pszCol[i]);
    }
    if (bOurs)
        returnColumnTransfer(transfer);
    if (!bValid)
        notice(langText("Failed to get Bad Columns"));
}

void QBadPixelChoose::releasePixelReadArrays(int* pszRow, int* pszCol)
{
    // The page's own arrays are tracked; any other array handed over is plain new int[].
    if (!BadPixelTransfer::release(pszRow))
        delete[] pszRow;
    if (!BadPixelTransfer::release(pszCol))
        delete[] pszCol;
}

bool QBadPixelChoose::serviceModeEnabled() { return qgetenv("THERMAVA_SERVICE").trimmed() == "1"; }

void QBadPixelChoose::getAllBadPixelsResult(bool bRet, int nCount, int* pszRow, int* pszCol)
{
    bool bStale = false;
    for (auto it = m_pixelReads.begin(); it != m_pixelReads.end(); ++it) {
        if (it->pRow == pszRow) {
            bStale = it->bStale;
            m_pixelReads.erase(it);
            break;
        }
    }
    const bool bValid = bRet && nCount >= 0 && nCount <= kPixelArraySize && (nCount == 0 || (pszRow && pszCol));
    if (!bStale && bValid) {
        removeAllPixels();
        for (int i = 0; i < nCount; ++i)
            addPixelEntry(pszCol[i], pszRow[i]);
    }
    releasePixelReadArrays(pszRow, pszCol);
    if (!bStale && !bValid)
        notice(langText("Failed to get Bad Pixels"));
}

void QBadPixelChoose::onBtnSetSlots()
{
    if (!cameraReady())
        return;
    if (m_badPixels.size() > kMaxBadPixels)
        notice(textOrKey("The movement can only set and save 256 bad points at most"));

    static const QMetaMethod s_setPixels = QMetaMethod::fromSignal(&QBadPixelChoose::sendSetAllBadPixelsSignal);
    if (!isSignalConnected(s_setPixels))
        return;
    // Both arrays go to the executor, which frees them.
    int* pRow = new (std::nothrow) int[kPixelArraySize]();
    int* pCol = new (std::nothrow) int[kPixelArraySize]();
    if (!pRow || !pCol) {
        delete[] pRow;
        delete[] pCol;
        showWriteResult(false);
        return;
    }
    // The first 256 in table order.
    const int nCount = std::min<int>(m_badPixels.size(), kMaxBadPixels);
    for (int i = 0; i < nCount; ++i) {
        pRow[i] = m_badPixels[i].y;
        pCol[i] = m_badPixels[i].x;
    }
    m_pixelWrites.push_back(false);
    emit sendSetAllBadPixelsSignal(nCount, pRow, pCol);
}

void QBadPixelChoose::setAllBadPixelsResult(bool bRet)
{
    bool bStale = false;
    if (!m_pixelWrites.empty()) {
        bStale = m_pixelWrites.front();
        m_pixelWrites.pop_front();
    }
    showWriteResult(bRet);
    // After a clear the list is empty: writing it would wipe the camera's column table.
    if (!bStale)
        writeColumns();
}

void QBadPixelChoose::writeColumns()
{
    static const QMetaMethod s_setCols = QMetaMethod::fromSignal(&QBadPixelChoose::sendSetAllBadColsSignal);
    if (!isSignalConnected(s_setCols))
        return;
    const ColumnTransfer transfer = takeColumnTransfer();
    if (!transfer.pIndex) {
        showWriteResult(false);
        return;
    }
    int nCount = m_badColumns.size();
    const int nLimit = std::min(pictureSize().width(), int(kColumnArraySize));
    if (nCount <= nLimit) {
        for (int i = 0; i < nCount; ++i) {
            transfer.pIndex[i] = i + 1;
            transfer.pCol[i] = m_badColumns[i].column;
        }
    } else {
        nCount = 0;
        notice(textOrKey("Bad column numbers exceed resolution size"));
    }
    m_columnWrites.push_back(transfer);
    emit sendSetAllBadColsSignal(nCount, transfer.pIndex, transfer.pCol);
}

void QBadPixelChoose::setAllBadColsResult(bool bRet)
{
    if (!m_columnWrites.empty()) {
        const ColumnTransfer transfer = m_columnWrites.front();
        m_columnWrites.pop_front();
        returnColumnTransfer(transfer);
    }
    showWriteResult(bRet);
}

void QBadPixelChoose::onBtnSaveSlots()
{
    if (!cameraReady())
        return;
    emit sendSaveAllBadSetSignal();
}

void QBadPixelChoose::saveAllBadSetResult(bool bRet) { showWriteResult(bRet); }
