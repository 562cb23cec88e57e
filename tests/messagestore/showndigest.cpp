// Reads each file named on the command line as the Messages page shows a
// message part (readPictureAlsoGifBmp) and makes its thumbnail file as the
// page does (makeAttachmentThumbnail), in a process of its own, and prints
// one line per file: its name and the SHA-256 of the picture's pixels and
// of the thumbnail file. Before each file the heap is filled with the byte
// given as --fill and freed, with the threshold above which malloc maps
// fresh (zero) pages raised, so that pictures are carved from that heap:
// a picture that holds memory its file did not fill differs between runs
// of other bytes. Used by the test that a picture shown is its file's
// bytes alone.
#include "messagestore/msgrecords.h"
#include "pictures/picturereader.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Blocks of many sizes, up to a megabyte, filled and freed.
void fillHeap(int byte)
{
    std::vector<void*> blocks;
    for (size_t size = 64; size <= (size_t(1) << 20); size = size * 3 / 2) {
        for (int i = 0; i < 2; ++i) {
            void* block = std::malloc(size);
            if (!block)
                continue;
            std::memset(block, byte, size);
            blocks.push_back(block);
        }
    }
    for (void* block : blocks)
        std::free(block);
}

// The picture's pixels (the bits of each row up to its last pixel), its
// size, format and colours.
QByteArray pixelDigest(const QImage& image)
{
    if (image.isNull())
        return "-";
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(QByteArray::number(image.width()) + 'x' + QByteArray::number(image.height()) + ' '
                 + QByteArray::number(int(image.format())));
    for (const QRgb colour : image.colorTable())
        hash.addData(QByteArray::number(colour));
    const qint64 bits = qint64(image.width()) * image.depth();
    for (int y = 0; y < image.height(); ++y) {
        QByteArray row(reinterpret_cast<const char*>(image.constScanLine(y)), qsizetype((bits + 7) / 8));
        if (bits % 8) // the bits after the last pixel
            row[row.size() - 1] = char(uchar(row.back()) & (0xFF00 >> (bits % 8)));
        hash.addData(row);
    }
    return hash.result().toHex();
}

QByteArray fileDigest(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "-";
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex();
}

} // namespace

int main(int argc, char** argv)
{
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    QCoreApplication app(argc, argv);
    QStringList paths = app.arguments().mid(1);
    int fill = 0;
    if (paths.size() >= 2 && paths.first() == QLatin1String("--fill")) {
        fill = paths.at(1).toInt();
        paths = paths.mid(2);
    }
    for (const QString& path : paths) {
        fillHeap(fill);
        const QImage shown = readPictureAlsoGifBmp(path);
        _MsgAttachment part;
        part.localPath = path;
        const QString thumbnail = attachmentThumbnailPath(&part);
        QFile::remove(thumbnail);
        fillHeap(fill);
        makeAttachmentThumbnail(&part);
        std::printf("%s %s %s\n", qPrintable(QFileInfo(path).fileName()), pixelDigest(shown).constData(),
                    fileDigest(thumbnail).constData());
        QFile::remove(thumbnail);
    }
    return 0;
}
