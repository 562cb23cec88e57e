// Helpers of the job tests: running a job, simulated phones on loopback, a
// cancel against a stalled phone, and looks into a message store.
#pragma once

#include "messagestore/ios6messagedb.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "shell/core/translations.h"

#include "simphone.h"
#include "testsupport.h"

#include <QTcpServer>
#include <QtTest>

#include <functional>
#include <memory>

Q_DECLARE_METATYPE(phonesim::Fault)

// A simulated phone on Wi-Fi; a test that cannot start it fails at once.
#define START_PHONE(var, ...)                                                                                          \
    auto var = std::make_unique<testsupport::SimPhone>(__VA_ARGS__);                                                   \
    QVERIFY2(var->ok(), qPrintable(var->error))

namespace jobtest {

// Translations, and a port that is free at the time for every session (the
// time-based formula could meet a port another test holds).
inline void initJobTests()
{
    installTranslations(qApp);
    simpleprotocol::setLocalPortProvider([] {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        return int(probe.serverPort());
    });
}

inline bool run(QThread& job, int ms = testsupport::kHangGuardMs)
{
    job.start();
    return job.wait(QDeadlineTimer(ms));
}

inline QByteArray b64(const QString& text)
{
    return text.toUtf8().toBase64();
}

inline bool writeFile(const QString& path, const QByteArray& data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

inline qsizetype countPrefix(const QList<QByteArray>& lines, const QByteArray& prefix)
{
    return std::count_if(lines.begin(), lines.end(), [&](const QByteArray& l) { return l.startsWith(prefix); });
}

// Starts the job; once stalled() holds it must still run, and Cancel must
// end it without an end post: a job that went on waiting for the phone
// would end at a time limit of its own, with an error, or not before the
// hang guard. A checking helper (see CHECKED).
[[nodiscard]] inline bool cancelWhenStalled(QThread& job, testsupport::RecordingJobReport& report,
                                            const std::function<bool()>& stalled,
                                            std::source_location at = std::source_location::current())
{
    job.start();
    const bool stalledRunning = QTest::qWaitFor(stalled, testsupport::kHangGuardMs) && job.isRunning();
    report.cancel();
    HELPER_VERIFY2(job.wait(QDeadlineTimer(testsupport::kHangGuardMs)), "the job did not end after Cancel");
    HELPER_VERIFY2(stalledRunning, "the job never stalled while running");
    HELPER_COMPARE(report.endCount(), 0);
    return true;
}

// The store in folder in one line: "messages/chats/handles/attachments",
// SQLite's check, then how many join rows lack a side and how many chats
// have no message: "5/2/2/4 ok 0 0 0 0" for five messages in a sound store.
inline QString storeState(const QString& folder)
{
    IOS6MessageDb db(QDir(folder), QString(), false);
    db.open();
    Sqlite3Cursor c = db.queryThrow(QStringLiteral(
        "select (select count(*) from message)||'/'||(select count(*) from chat)||'/'||(select count(*) from handle)"
        "||'/'||(select count(*) from attachment)||' '||(select group_concat(integrity_check) from "
        "pragma_integrity_check)||' '||(select count(*) from chat_message_join where message_id not in (select rowid "
        "from message) or chat_id not in (select rowid from chat))||' '||(select count(*) from "
        "message_attachment_join where message_id not in (select rowid from message) or attachment_id not in (select "
        "rowid from attachment))||' '||(select count(*) from chat_handle_join where chat_id not in (select rowid from "
        "chat) or handle_id not in (select rowid from handle))||' '||(select count(*) from chat where rowid not in "
        "(select chat_id from chat_message_join))"));
    return c.moveNext() ? c.getText(0) : QString();
}

// Every record of the store, as the messages page loads them.
inline MsgDataSetPtr loadStore(const QString& folder, const QString& mcc = QString())
{
    MsgDataSetPtr ds = newMsgDataSet();
    IOS6MessageDb db(QDir(folder), mcc, false);
    db.loadChats(*ds);
    db.loadMessages(*ds, 0);
    return ds;
}

} // namespace jobtest
