// Language table loader: the input is the file's bytes. Whatever the file holds, loading
// keeps only non-empty name/value pairs and never crashes.
#include "app/LangTable.h"

#include <QBuffer>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    QBuffer buffer;
    buffer.setData(reinterpret_cast<const char*>(pData), static_cast<int>(nSize));
    buffer.open(QIODevice::ReadOnly | QIODevice::Text);
    LangTable table;
    table.insert("keep", "me");
    loadLanguageDevice(table, buffer);
    for (auto it = table.constBegin(); it != table.constEnd(); ++it) {
        if (it.key().isEmpty() || it.value().isEmpty())
            __builtin_trap();
    }
    return 0;
}
