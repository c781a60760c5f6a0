#pragma once
// Language tables: a process-wide map from English key to display text, filled once at
// start-up from ":/Resource/Lang_CN.xml" or ":/Resource/Lang_EN.xml".

#include <QMap>
#include <QString>

class QIODevice;

using LangTable = QMap<QString, QString>;

// The process-wide table, created empty on first use.
LangTable& langTable();

// 1 selects English, every other value Chinese. A file that does not open leaves the table
// untouched; a malformed file keeps the items read before the error.
void loadLanguage(LangTable& table, int nLanguage);
// Same loader on an explicit file path (tests and tools).
void loadLanguageFile(LangTable& table, const QString& path);
// The reading part of the loader on an open device: empties the table, then reads items.
void loadLanguageDevice(LangTable& table, QIODevice& device);

// Display text for the key, or an empty text when the key is absent (no fallback).
QString getLangText(const LangTable& table, QString key);

// Shorthand for lookups in the process-wide table.
inline QString langText(const QString& key) { return getLangText(langTable(), key); }
