// Encodes each file named on the command line as a transfer sends it, as a
// PNG part and as a JPEG part, in a process of its own, and prints one line
// per file: its name, what came of it, and the SHA-256 of the bytes sent
// upright and of what earlier versions sent. Used by the test that an
// encoding is a function of the file's bytes alone, run under different
// heap states.
#include "pictures/imageencoding.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>

namespace {

const char* resultName(EncodedImage::Result result)
{
    switch (result) {
    case EncodedImage::Result::Encoded:
        return "encoded";
    case EncodedImage::Result::AsItIs:
        return "as-it-is";
    case EncodedImage::Result::Stopped:
        return "stopped";
    }
    return "?";
}

QByteArray digest(const QByteArray& bytes)
{
    return bytes.isEmpty() ? QByteArray("-") : QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList paths = app.arguments().mid(1);
    for (const QString& path : paths) {
        for (const QString& mime : {QStringLiteral("image/png"), QStringLiteral("image/jpeg")}) {
            const EncodedImage sent = encodeImage(path, mime, true);
            std::printf("%s %s %s %s %s\n", qPrintable(QFileInfo(path).fileName()), qPrintable(mime),
                        resultName(sent.result), digest(sent.upright).constData(), digest(sent.unturned).constData());
        }
    }
    return 0;
}
