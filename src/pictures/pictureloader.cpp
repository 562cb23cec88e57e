#include "pictures/pictureloader.h"

#include <QMetaObject>
#include <QMutex>
#include <QMutexLocker>
#include <QThread>
#include <QThreadPool>

#include <exception>

// The pictures asked for between two stops: their workers hear the stop
// through it and hand what they made to the loader while it still has one.
struct PictureLoader::Round {
    std::atomic_bool stop {false};
    QMutex mutex;
    PictureLoader* owner = nullptr; // null once the round ended (under mutex)

    // Ends the round: its workers stop and deliver nothing more.
    void end()
    {
        stop = true;
        QMutexLocker lock(&mutex);
        owner = nullptr;
    }
};

namespace {

// The workers of every loader. Decodes share the picture reader's memory
// budget, so one worker a core is as many as help.
QThreadPool& workers()
{
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setMaxThreadCount(qMax(2, QThread::idealThreadCount()));
        return p;
    }();
    return *pool;
}

int costKb(const QImage& image)
{
    return int(qMin<qint64>(image.sizeInBytes() / 1024 + 1, PictureLoader::kKeptKb));
}

} // namespace

PictureLoader::PictureLoader(QObject* parent)
    : QObject(parent)
    , m_round(std::make_shared<Round>())
    , m_made(kKeptKb)
{
    m_round->owner = this;
}

PictureLoader::~PictureLoader()
{
    m_round->end();
}

std::optional<QImage> PictureLoader::made(const QString& key) const
{
    if (const QImage* image = m_made.object(key))
        return *image;
    return std::nullopt;
}

std::optional<QImage> PictureLoader::picture(const QString& key, const Make& make)
{
    if (std::optional<QImage> image = made(key))
        return image;
    if (m_pending.contains(key))
        return std::nullopt;
    m_pending.insert(key, true);
    workers().start([round = m_round, key, make] {
        if (round->stop)
            return;
        QImage image;
        try {
            image = make(round->stop);
        } catch (const std::exception&) {
            // Memory ran out, or the reader gave up: no picture to show.
            image = QImage();
        }
        QMutexLocker lock(&round->mutex);
        if (!round->owner || round->stop)
            return;
        // Posted while the owner is sure to live: it ends the round (under
        // this lock) before it goes, and its posted calls go with it.
        QMetaObject::invokeMethod(
            round->owner, [owner = round->owner, key, image] { owner->deliver(key, image); }, Qt::QueuedConnection);
    });
    return std::nullopt;
}

void PictureLoader::deliver(const QString& key, const QImage& image)
{
    m_pending.remove(key);
    m_made.insert(key, new QImage(image), costKb(image));
    emit ready(key);
}

bool PictureLoader::waitForWorkers(int msecs)
{
    return workers().waitForDone(msecs);
}

void PictureLoader::stopAll()
{
    m_round->end();
    m_round = std::make_shared<Round>();
    m_round->owner = this;
    m_pending.clear();
}

void PictureLoader::clear()
{
    stopAll();
    m_made.clear();
}
