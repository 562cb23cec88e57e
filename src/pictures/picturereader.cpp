#include "pictures/picturereader.h"

#include "pictures/gifbmplayout.h"
#include "pictures/picturedecode.h"
#include "pictures/picturelayout.h"

#include "shell/core/everycore.h"

#include <QBuffer>
#include <QFile>

using namespace pictures;

namespace {

// The picture the source holds as its layout plans, decoded by decodeAs
// within a share of the budget; null when it is beyond the bounds, does
// not decode or *stop was set.
template <typename Decode>
QImage readAs(StoppableSource& source, const Layout& layout, const std::atomic_bool* stop, QByteArray* format,
              Decode decodeAs)
{
    if (source.stopped() || !layout.header.isEncoded())
        return QImage();
    BudgetShare share;
    if (!share.take(layout.memory, stop))
        return QImage();
    const QImage image = decodeAs(source, layout);
    if (source.stopped() || image.isNull())
        return QImage();
    if (format)
        *format = layout.header.format;
    return image;
}

} // namespace

QImage readPicture(QIODevice& device, const std::atomic_bool* stop, QByteArray* format)
{
    StoppableSource source(device, stop);
    const Layout layout = readLayout(source);
    source.readyFor(layout);
    return turned(readAs(source, layout, stop, format,
                         [stop](QIODevice& in, const Layout& plan) { return decode(in, plan, stop); }),
                  layout.header.orientation);
}

QImage readPicture(const QString& path, const std::atomic_bool* stop, QByteArray* format)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QImage();
    return readPicture(file, stop, format);
}

QImage readPictureBytes(const QByteArray& bytes, const std::atomic_bool* stop, QByteArray* format)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return readPicture(buffer, stop, format);
}

QImage readPictureAlsoGifBmp(const QString& path, const std::atomic_bool* stop, QByteArray* format)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QImage();
    return readPictureAlsoGifBmp(file, stop, format);
}

QImage readPictureAlsoGifBmp(QIODevice& device, const std::atomic_bool* stop, QByteArray* format)
{
    if (QImage image = readPicture(device, stop, format); !image.isNull() || (stop && stop->load()))
        return image;
    StoppableSource source(device, stop);
    const GifBmpPlan plan = readGifBmpPlan(source);
    return readAs(source, plan.layout, stop, format,
                  [&](QIODevice& in, const Layout&) { return decodeGifBmp(in, plan, stop); });
}

namespace pictures {

QImage madeHearing(const std::function<QImage(const std::atomic_bool& stop)>& make,
                   const std::function<void()>& checkCanceled)
{
    if (!checkCanceled) {
        const std::atomic_bool never {false};
        return make(never);
    }
    QImage made;
    everycore::run(
        1, [&](int, const std::atomic_bool& stop) { made = make(stop); }, checkCanceled);
    return made;
}

} // namespace pictures
