#pragma once
// The bad pixel editor: the camera's live raw picture in a zoomable view with a marker for every
// bad pixel and bad column, the two tables beside it, reading the camera's tables, writing them
// back ("Set") and making the camera keep them ("Save").
//
// The settings module creates the page, relays its five command signals to the command executor
// and hands the executor's results to the handlers below. The page runs a video engine of its own
// (on its own thread) that hands frames to setShowImage instead of drawing them.
//
// Transfer arrays: every array the page lends with a request stays valid until that request's
// result has come back, even when the page is cleared or destroyed in between (see
// BadPixelTransfer.h). Results of requests made before the last clearPage() are dropped.

#include "maintenance/BadPixelMarkerOwner.h"

#include <QPixmap>
#include <QPointF>
#include <QThread>
#include <QVector>
#include <QWidget>
#include <deque>
#include <functional>
#include <vector>

class BadPixelColItem;
class BadPixelItem;
class QAction;
class QGraphicsPixmapItem;
class QGraphicsScene;
class QGraphicsView;
class QLabel;
class QMenu;
class QPushButton;
class QTableWidget;
class QVideoPlay;

class QBadPixelChoose : public QWidget, public BadPixelMarkerOwner
{
    Q_OBJECT

public:
    // Room of the arrays lent with the table requests.
    static constexpr int kPixelArraySize = 256;
    static constexpr int kColumnArraySize = 1024;
    // The camera keeps at most this many bad pixels.
    static constexpr int kMaxBadPixels = 256;

    struct BadPixelEntry
    {
        int x = 0;                      // sensor column
        int y = 0;                      // sensor row
        BadPixelItem* item = nullptr;   // its marker in the scene
    };
    struct BadColumnEntry
    {
        int column = 0;
        BadPixelColItem* item = nullptr;
    };

    explicit QBadPixelChoose(QWidget* parent = nullptr);
    ~QBadPixelChoose() override;

    // Reads both tables from the camera (connected and awake only).
    void requestAllBadSet();
    // Binds the page's video engine to the camera's stream (connected only).
    void startVideoPlay();
    // Camera lost: all markers, entries, rows and the picture go; results of requests still
    // under way are dropped when they arrive.
    void clearPage();

    // Results, handed over by the settings module on the user-interface thread.
    // Column read: the arrays are the ones the page lent and stay the page's.
    void getAllBadColsResult(bool bRet, int nCount, int* pszIndex, int* pszCol);
    // Pixel read: the row and column arrays become the page's and are freed here.
    void getAllBadPixelsResult(bool bRet, int nCount, int* pszRow, int* pszCol);
    // Pixel write: shows the result, then writes the column table.
    void setAllBadPixelsResult(bool bRet);
    void setAllBadColsResult(bool bRet);
    void saveAllBadSetResult(bool bRet);
    // For a pixel read result that arrives when there is no page to take it: frees the arrays.
    static void releasePixelReadArrays(int* pszRow, int* pszCol);

    // The editor is a service tool: the settings module shows its switch button only when the
    // environment variable THERMAVA_SERVICE is 1.
    static bool serviceModeEnabled();

    // UYVY (U Y0 V Y1 per pixel pair, nWidth x nHeight x 2 bytes) to packed RGB888.
    static void convertUyvyToRgb888(const unsigned char* pSrc, unsigned char* pDst, int nWidth, int nHeight);

    // BadPixelMarkerOwner
    void pixelMarkerSelected(BadPixelItem* pItem) override;
    void columnMarkerSelected(BadPixelColItem* pItem) override;
    void runMarkerContextMenu(const QPoint& screenPos, const QPointF& scenePos) override;

    // State, for the settings module and for tests.
    const QVector<BadPixelEntry>& badPixels() const { return m_badPixels; }
    const QVector<BadColumnEntry>& badColumns() const { return m_badColumns; }
    double zoomFactor() const { return m_fZoomFactor; }
    bool hasPicture() const { return m_pPixmapItem != nullptr; }
    const QPixmap& picture() const { return m_pixmap; }
    QGraphicsScene* scene() const { return m_pScene; }
    QGraphicsView* graphicsView() const { return m_pGraphicsView; }
    QTableWidget* pixelTable() const { return m_pBadPixelTableWidget; }
    QTableWidget* columnTable() const { return m_pBadPixelColTableWidget; }
    QPushButton* saveButton() const { return m_pSaveButton; }
    QPushButton* setButton() const { return m_pSetButton; }
    QMenu* contextMenu() const { return m_pMenu; }
    QVideoPlay* videoEngine() const { return m_pVideoPlay; }
    QPointF lastRightClickScenePos() const { return m_lastRightClickScenePos; }
    // Tests: replaces running the context menu (the hook gets the menu and the screen point).
    using MenuHook = std::function<void(QMenu&, const QPoint&)>;
    void setMenuHookForTests(MenuHook hook) { m_menuHook = std::move(hook); }

signals:
    void sendVideoPlaySignals(void*, bool);
    void sendGetALLBadColsSignal(int* pszIndex, int* pszCol);
    void sendGetALLBadPixelsSignal(int* pszIndex, int* pszRow, int* pszCol);
    void sendSetAllBadPixelsSignal(int nNum, int* pszRow, int* pszCol);
    void sendSetAllBadColsSignal(int nNum, int* pszIndex, int* pszCol);
    void sendSaveAllBadSetSignal();

public slots:
    void onTableBtnClicked();
    void onTableAllBPDelBtnClicked();
    void onTableBtnDelColClicked();
    void onTableAllDelColBtnClicked();
    void setShowImage(unsigned char* data, int nScale);

private slots:
    void AddBPActSlots();
    void DelBPActSlots();
    void DelAllBPActSlots();
    void AddBPColActSlots();
    void DelBPColActSlots();
    void DelAllBPColActSlots();
    void AutoResizeActSlots();
    void onBtnSaveSlots();
    void onBtnSetSlots();
    void onBadPixelCellClicked(int nRow, int nColumn);
    void onBadPixelColCellClicked(int nRow, int nColumn);
    void deleteAllBadPixelsSlot();
    void deleteAllBadColumnsSlot();

protected:
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A pair of column arrays lent with one column request.
    struct ColumnTransfer
    {
        int* pIndex = nullptr;
        int* pCol = nullptr;
        bool bStale = false;   // lent before the last clearPage()
    };
    struct PixelRead
    {
        int* pRow = nullptr;
        bool bStale = false;
    };

    void buildLayout();
    QTableWidget* makeTable(const char* pszCaptionKey, const char* pszDeleteAllSlot);
    void appendRow(QTableWidget* pTable, const QString& qStrText, const char* pszDeleteSlot);
    void removeDataRow(QTableWidget* pTable, int nRow);
    void addPixelEntry(int x, int y);
    void addColumnEntry(int nColumn);
    void removePixelEntry(int nIndex);
    void removeColumnEntry(int nIndex);
    void removeAllPixels();
    void removeAllColumns();
    void removePicture();
    // Table row of a delete button that was clicked (or the current row for a direct call).
    int clickedDataRow(QTableWidget* pTable) const;

    // Size of the frames the page's engine hands over (0 x 0 before the first).
    QSize frameSize() const;
    // The picture's size: the frames' size, or before any frame the camera's image size.
    QSize pictureSize() const;
    bool isOnPicture(const QPointF& scenePos) const;
    void openMenuAt(const QPointF& scenePos, const QPoint& screenPos);
    QPoint lastRightClickPixel() const;
    void fitPicture();
    // Connected and awake; otherwise the matching notice and false.
    bool cameraReady();
    void notice(const QString& qStrText);
    void writeColumns();

    ColumnTransfer takeColumnTransfer();
    void returnColumnTransfer(const ColumnTransfer& transfer);

    // Layout widgets.
    QWidget* m_pModuleWidget = nullptr;
    QTableWidget* m_pBadPixelTableWidget = nullptr;
    QTableWidget* m_pBadPixelColTableWidget = nullptr;
    QPushButton* m_pSaveButton = nullptr;
    QPushButton* m_pSetButton = nullptr;

    QGraphicsScene* m_pScene = nullptr;
    QGraphicsView* m_pGraphicsView = nullptr;

    QVideoPlay* m_pVideoPlay = nullptr;
    QThread m_videoThread;

    QPointF m_lastRightClickPos;        // page coordinates
    QPointF m_lastRightClickScenePos;   // the same point on the picture

    QMenu* m_pMenu = nullptr;
    QAction* m_pAddBPAct = nullptr;
    QAction* m_pDeleteBPAct = nullptr;
    QAction* m_pDeleteAllBPAct = nullptr;
    QAction* m_pAddBPColAct = nullptr;
    QAction* m_pDeleteBPColAct = nullptr;
    QAction* m_pDeleteAllBPColAct = nullptr;
    QAction* m_pAutoResizeAct = nullptr;

    QVector<BadPixelEntry> m_badPixels;
    QVector<BadColumnEntry> m_badColumns;

    double m_fZoomFactor = 1.0;

    QPixmap m_pixmap;
    QGraphicsPixmapItem* m_pPixmapItem = nullptr;
    bool m_bFitOnFirstPicture = true;

    // Column arrays: one idle pair kept for reuse, and the pairs lent to requests under way
    // (reads are matched by pointer, writes in order).
    ColumnTransfer m_idleColumns;
    std::vector<ColumnTransfer> m_columnReads;
    std::deque<ColumnTransfer> m_columnWrites;
    std::vector<PixelRead> m_pixelReads;
    std::deque<bool> m_pixelWrites;   // stale flag of each pixel write under way

    int m_nLastPixelRow = -1;
    int m_nLastColumnRow = -1;

    MenuHook m_menuHook;
};
