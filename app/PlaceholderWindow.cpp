#include "app/Startup.h"

// Until the main window is built, start-up shows a plain top-level widget.
QWidget* createThermavaMainWindow()
{
    auto* pWindow = new QWidget;
    pWindow->setObjectName("MainWindow");
    pWindow->resize(800, 600);
    return pWindow;
}
