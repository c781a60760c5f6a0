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

// Makes a program folder this user owns writable by its owner and by nobody else. Leaves a
// folder owned by someone else as it is (false then, and when the change fails).
bool secureProgramFolder(const QString& qStrDir);

// Builds the top-level window of the client. Tests may replace it.
using MainWindowFactory = std::function<QWidget*()>;
QWidget* createThermavaMainWindow();

// The whole start-up sequence; returns the process exit code (always 0). "--version" prints
// the version instead and returns at once.
int runThermava(int argc, char** argv, const MainWindowFactory& factory = createThermavaMainWindow);
