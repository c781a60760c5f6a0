#pragma once
// Ties the alarms to the live view page: a monitor fed with the readings the page already
// makes every 200 ms, the alarm notice naming the rule, and the button that opens the trend
// and distribution panel.

class AlarmMonitor;
class QVideoPreviewModuleWidget;

// Creates the page's monitor (a child of the page) and wires it; returns it.
AlarmMonitor* installAlarms(QVideoPreviewModuleWidget* pPage);
