#include "phonelink/androidloadmusicthread.h"

#include "records/recordtime.h"

AndroidLoadMusicThread::AndroidLoadMusicThread(int kind, AndroidDeviceInfo* device, JobReport* progress,
                                               QObject* parent)
    : AndroidLoadThread(device, nullptr, progress, parent)
    , m_kind(kind)
{
}

MusicRecord AndroidLoadMusicThread::parseMusic(const QString& fields)
{
    const QStringList f = fields.split(QLatin1Char(','));
    MusicRecord m;
    m.rawRef = f.value(0);
    if (f.size() > 1)
        m.title = loaderfields::textAt(f, 1);
    if (f.size() > 2)
        m.modified = records::dateTimeFromSecs(f.at(2).toLongLong());
    if (f.size() > 3)
        m.path = loaderfields::textAt(f, 3);
    if (f.size() > 4)
        m.size = f.at(4).toLongLong();
    if (f.size() > 5)
        m.duration = f.at(5).toInt();
    return m;
}

void AndroidLoadMusicThread::load()
{
    m_items.clear();
    openService(m_kind == kKindMusic ? QStringLiteral("music") : QStringLiteral("ringtones"));
    const qint64 total = readCount();
    qint64 done = 0;

    BatchRules rules;
    rules.recordCommands = {QStringLiteral("$music:")};
    rules.topError = [](const QString& line) { return QStringLiteral("invalid command($end:,$batch:),") + line; };
    rules.batchError = [](const QString& line) { return QStringLiteral("invalid command($end:,$music:),") + line; };
    rules.cancelBeforeEveryRead = true;
    readBatches(rules, [&](const QString&, const QString& rest) {
        ++done;
        postRecordProgress(done, total, tr("Music:%1 / %2").arg(done).arg(total));
        m_items.append(parseMusic(rest));
    });
    finish();
}
