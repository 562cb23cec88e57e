// The CSV row reader over the raw bytes, then the CSV contact import of the
// same bytes as a file (encoding detection, header mapping, every contact).
#include "formats/csvimport.h"
#include "shell/core/fileutils.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {
QString g_path;
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    // In memory where there is a tmpfs: a disk file rewritten for every
    // input is flushed on each close.
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                 ? QStringLiteral("/dev/shm/fuzz_csv-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/fuzz_csv-XXXXXX"));
    if (!dir.isValid())
        abort();
    g_path = dir.filePath(QStringLiteral("input.csv"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    for (bool atStart = true;; atStart = false) {
        QStringList row;
        if (!readCsvRow(&row, &buffer, atStart))
            break;
    }

    QFile file(g_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        abort();
    file.close();
    CSVImport import;
    import.open(g_path);
    while (import.hasNext())
        import.next();
    return 0;
}
