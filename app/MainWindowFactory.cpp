#include "app/MainWindow.h"
#include "app/Startup.h"

QWidget* createThermavaMainWindow() { return new MainWindow; }
