#pragma once
// Start-up of the client: application attributes, value types, stylesheet, configuration,
// language table, main window, event loop.

#include <QWidget>
#include <functional>

// Makes the compiled-in resources available (safe to call more than once).
void initThermavaResources();

// Registers the value types that queued signals carry between threads.
void registerThermavaMetaTypes();

// Reads ":/Resource/Skin/tpc.qss" into the application stylesheet; false when it does not open.
bool installThermavaStyleSheet();

// Builds the top-level window of the client. Tests may replace it.
using MainWindowFactory = std::function<QWidget*()>;
QWidget* createThermavaMainWindow();

// The whole start-up sequence; returns the process exit code (always 0).
int runThermava(int argc, char** argv, const MainWindowFactory& factory = createThermavaMainWindow);
