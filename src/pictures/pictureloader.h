// Makes pictures off the window's thread for the pages that show them: a
// page asks for a picture by a key of its own and says how to make it (a
// function that reads through the picture reader and hears the stop); the
// loader makes it on a worker, keeps it and says so with ready(key) on the
// loader's thread. Until then the page shows its stand-in.
//
// When the loader goes (its page goes away) or stopAll() is called, every
// picture under way is asked to stop and those still waiting are dropped;
// the window's thread never waits for a worker.
#pragma once

#include <QCache>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class PictureLoader : public QObject {
    Q_OBJECT

public:
    // Makes the picture; returns a null image when there is none to show
    // (or when stop was set).
    using Make = std::function<QImage(const std::atomic_bool& stop)>;

    // Kilobytes of made pictures kept (the least recently asked go first).
    static constexpr int kKeptKb = 64 * 1024;

    explicit PictureLoader(QObject* parent = nullptr);
    ~PictureLoader() override;

    // The picture made for key (null when there was none to show), or
    // nullopt while it is not made: it is made then, once however often it
    // is asked for meanwhile, and ready(key) follows.
    std::optional<QImage> picture(const QString& key, const Make& make);
    // The picture made for key, without asking for it.
    std::optional<QImage> made(const QString& key) const;
    // Asks every picture under way to stop and drops those waiting; what
    // was made is kept.
    void stopAll();
    // Forgets what was made, after stopping what is under way.
    void clear();
    // How many pictures are asked for and not made yet.
    int pending() const { return int(m_pending.size()); }
    // For tests: waits until no make of any loader runs or waits (false
    // when that took longer than msecs).
    static bool waitForWorkers(int msecs);

signals:
    void ready(const QString& key);

private:
    struct Round;

    void deliver(const QString& key, const QImage& image);

    std::shared_ptr<Round> m_round;
    QHash<QString, bool> m_pending;
    mutable QCache<QString, QImage> m_made;
};
