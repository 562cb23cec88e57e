// How the picture reader decodes what its layout allows: the budget all
// decodes share, a source that ends a decode when asked, the decode itself
// and the turn upright. Used by the picture reader only.
#pragma once

#include "pictures/picturelayout.h"

#include <QIODevice>
#include <QImage>
#include <QList>

#include <atomic>

namespace pictures {

// A picture's bytes, read for a decoder that is to end when *stop is set.
// Once stopped, a read finds nothing more, at which libpng fails. A JPEG's
// decoder is handed a second SOI marker instead (at the end of the data Qt
// gives libjpeg an end of the picture, and libjpeg makes the picture of
// what it read, in a pass over every sample without a read): libjpeg ends
// the scan under way as if its data had run out, fails at that marker as
// it looks for the next and never makes the picture. A scan of next to no
// data is a whole pass of libjpeg over the picture without a read, so no
// read crosses where a scan, its data or a marker after them begins: the
// decoder comes back for more (and finds the stop) before each scan, and
// before it makes the picture unless the last scan holds no data.
class StoppableSource final : public QIODevice {
public:
    StoppableSource(QIODevice& source, const std::atomic_bool* stop)
        : m_source(source)
        , m_stop(stop)
    {
        if (m_source.seek(0))
            open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }

    bool stopped() const { return m_stop && m_stop->load(); }
    bool isSequential() const override { return false; }
    qint64 size() const override { return m_source.size(); }
    bool seek(qint64 pos) override { return QIODevice::seek(pos) && m_source.seek(pos); }
    // Readies the source for the decode of a picture of this layout: no
    // read crosses its breaks, and once stopped a read hands a JPEG's
    // decoder a second SOI marker.
    void readyFor(const Layout& layout)
    {
        m_breaks = layout.scanBreaks;
        m_stopBytes = layout.header.format == "jpeg";
    }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        if (stopped()) {
            if (!m_stopBytes)
                return -1;
            // FF D8 again and again, in step across reads.
            const qint64 n = qMin<qint64>(maxSize, 2);
            for (qint64 i = 0; i < n; ++i)
                data[i] = (m_stopOffset++ & 1) ? '\xD8' : '\xFF';
            return n;
        }
        const qint64 at = pos();
        const auto next = std::upper_bound(m_breaks.cbegin(), m_breaks.cend(), at);
        return m_source.read(data, next == m_breaks.cend() ? maxSize : qMin(maxSize, *next - at));
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QIODevice& m_source;
    const std::atomic_bool* m_stop;
    QList<qint64> m_breaks;
    bool m_stopBytes = false;
    qint64 m_stopOffset = 0;
};

// A share of the budget of kDecodeBudgetMb that all decodes hold together,
// held for as long as the decode runs.
class BudgetShare {
public:
    BudgetShare() = default;
    ~BudgetShare();
    Q_DISABLE_COPY_MOVE(BudgetShare)

    // Waits for bytes of the budget (all of it at most); false when *stop
    // was set meanwhile.
    bool take(qint64 bytes, const std::atomic_bool* stop);

private:
    int m_mb = 0;
};

// Tells the decode observer (pictures::setDecodeObserver), when there is
// one, that a decode begins on this thread as it is made, and the end
// observer that it ended, stopped or not, as it goes.
class DecodeTold {
public:
    explicit DecodeTold(const std::atomic_bool* stop);
    ~DecodeTold();
    Q_DISABLE_COPY_MOVE(DecodeTold)

private:
    const std::atomic_bool* m_stop;
};

// Gives each value a pixel of an indexed picture holds a colour: a value
// past its colour table (a file's table may be shorter than its values)
// would otherwise be looked up past the table by a writer or a scaler,
// which trust the table to cover every value. The table is filled up as
// Qt's own conversions read such values: of 8 bits, opaque black to 256
// entries; of 1 bit, black for 0 and white for 1. A picture whose values
// its table covers is left as it is.
void colourEveryValue(QImage& image);

// The picture decoded as its layout plans (the device seeks to its start;
// stop is the one the device hears, for the observers).
QImage decode(QIODevice& device, const Layout& layout, const std::atomic_bool* stop = nullptr);
// The picture turned upright as an EXIF orientation (2..8) says.
QImage turned(const QImage& image, int orientation);

} // namespace pictures
