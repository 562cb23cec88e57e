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

// A picture's bytes, read for a decoder that is to end when *stop is set:
// each read then finds nothing more, which both decoders take for the end
// of the data. A scan of next to no data is a whole pass of libjpeg over
// the picture without a read, so no read crosses where a scan or its data
// begins: the decoder comes back for more (and finds the stop) before each
// scan, and ends after the scan under way.
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
    // Offsets no read crosses from now on, in order.
    void setBreaks(const QList<qint64>& breaks) { m_breaks = breaks; }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        if (stopped())
            return -1;
        const qint64 at = pos();
        const auto next = std::upper_bound(m_breaks.cbegin(), m_breaks.cend(), at);
        return m_source.read(data, next == m_breaks.cend() ? maxSize : qMin(maxSize, *next - at));
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QIODevice& m_source;
    const std::atomic_bool* m_stop;
    QList<qint64> m_breaks;
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
// one, that a decode begins on this thread.
void tellDecodeObserver();

// The picture decoded as its layout plans (the device seeks to its start).
QImage decode(QIODevice& device, const Layout& layout);
// The picture turned upright as an EXIF orientation (2..8) says.
QImage turned(const QImage& image, int orientation);

} // namespace pictures
