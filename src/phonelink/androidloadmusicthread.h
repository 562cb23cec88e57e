// Lists the phone's music (kind 17) or ringtones (any other kind) in memory.
// The page reads items() after the thread has ended, whatever the outcome.
#pragma once

#include "phonelink/androidloadthread.h"
#include "records/mediarecords.h"

class AndroidLoadMusicThread : public AndroidLoadThread {
    Q_OBJECT
public:
    static constexpr int kKindMusic = 17;

    AndroidLoadMusicThread(int kind, AndroidDeviceInfo* device, JobReport* progress, QObject* parent = nullptr);

    const QList<MusicRecord>& items() const { return m_items; }

    // The record of a "$music:" line's fields (the text after the command).
    static MusicRecord parseMusic(const QString& fields);

protected:
    void load() override;

private:
    int m_kind;
    QList<MusicRecord> m_items;
};
