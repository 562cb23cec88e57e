// Helpers of the message job tests: the jobs run against simulated phones,
// phones' messages made of pictures, and looks at what a phone, a cache or
// a backup folder holds of them.
#pragma once

#include "jobs/androidrestoremessagesthread.h"
#include "jobs/backupmmsthread.h"
#include "phonelink/androidloadmessagesthread.h"

#include "jobtestutil.h"
#include "testpictures.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QImage>
#include <QJsonArray>

namespace messagejobtest {

using Report = testsupport::RecordingJobReport;

inline bool transfer(AndroidDeviceInfo& target, const MsgMessageList& list, JobReport* report)
{
    AndroidRestoreMessagesThread job(&target, list, report);
    return jobtest::run(job, 60000);
}

inline bool load(AndroidDeviceInfo& device)
{
    Report report;
    AndroidLoadMessagesThread job(&device, &report);
    return jobtest::run(job, 60000) && report.succeeded();
}

// Every message of the store in folder (a cache or a backup), sent to
// target; the result text, or the error.
inline QString transferStore(const QString& folder, AndroidDeviceInfo& target)
{
    MsgDataSetPtr ds = jobtest::loadStore(folder, QStringLiteral("262"));
    Report report;
    if (!transfer(target, getDataSetMessages(*ds), &report))
        return QStringLiteral("the transfer did not end");
    return report.succeeded() ? report.successes().constFirst() : report.errors().join(QLatin1Char('\n'));
}

// Every message of the store in folder backed up into backup; the result
// text, or the error.
inline QString backUpStore(const QString& folder, const QString& backup)
{
    MsgDataSetPtr ds = jobtest::loadStore(folder, QStringLiteral("262"));
    Report report;
    BackupMMSThread job(QDir(backup), QStringLiteral("262"), getDataSetMessages(*ds), &report);
    if (!jobtest::run(job, 60000))
        return QStringLiteral("the backup did not end");
    return report.succeeded() ? report.successes().constFirst() : report.errors().join(QLatin1Char('\n'));
}

// A photo of size in format ("JPG", "PNG"), its colours made from seed:
// photos of other seeds are other pictures, also once scaled.
inline QByteArray photo(int width, int height, const char* format, int seed)
{
    return testpictures::encoded(testpictures::detailedPhoto(width, height, seed), format);
}

// A message as the simulated phone serves it, its parts given by name and
// bytes (a name ending in ".png" is a PNG, any other a JPEG).
inline QJsonObject phoneMessage(qint64 seconds, const QString& address, const QString& body,
                                const QList<std::pair<QString, QByteArray>>& parts = {})
{
    QJsonArray atts;
    for (const auto& [name, bytes] : parts)
        atts.append(QJsonObject {
            {QStringLiteral("name"), name},
            {QStringLiteral("mime"),
             name.endsWith(QLatin1String(".png")) ? QStringLiteral("image/png") : QStringLiteral("image/jpeg")},
            {QStringLiteral("base64"), QString::fromLatin1(bytes.toBase64())}});
    return QJsonObject {{QStringLiteral("address"), address},
                        {QStringLiteral("date"), seconds},
                        {QStringLiteral("type"), 1},
                        {QStringLiteral("body"), body},
                        {QStringLiteral("attachments"), atts}};
}

inline QString bytesDigest(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

inline QStringList sorted(QStringList lines)
{
    lines.sort();
    return lines;
}

// One line per stored picture: date, address, the name the phone gave it
// and the MD5 of its bytes.
inline QStringList cachedPictures(const QString& folder)
{
    MsgDataSetPtr ds = jobtest::loadStore(folder, QStringLiteral("262"));
    QStringList lines;
    for (const _MsgMessage* m : std::as_const(ds->messages)) {
        for (const _MsgAttachment* a : getAttachments(m))
            lines << QStringLiteral("%1|%2|%3|%4")
                         .arg(m->date)
                         .arg(m->handle ? m->handle->id : QString(), a->transfer_name,
                              bytesDigest(testsupport::readFile(a->localPath)));
    }
    return sorted(lines);
}

// The line cachedPictures gives a picture the phone lists at seconds.
inline QString pictureLine(qint64 seconds, const QString& address, const QString& name, const QByteArray& bytes)
{
    return QStringLiteral("%1|%2|%3|%4").arg(seconds - kIosEpochOffset).arg(address, name, bytesDigest(bytes));
}

// What the phone was sent: one line per picture, as pictureLine gives it.
inline QStringList sentPictures(const testsupport::SimPhone& phone)
{
    QStringList lines;
    for (const QVariantMap& m : phone.store->records(QStringLiteral("mms2"))) {
        for (const QVariant& v : m.value(QStringLiteral("attachments")).toList())
            lines << pictureLine(
                m.value(QStringLiteral("dateMs")).toLongLong() / 1000, m.value(QStringLiteral("address")).toString(),
                v.toMap().value(QStringLiteral("name")).toString(),
                QByteArray::fromBase64(v.toMap().value(QStringLiteral("base64")).toString().toLatin1()));
    }
    return sorted(lines);
}

// How many messages the store in folder holds.
inline qsizetype messageCount(const QString& folder)
{
    return jobtest::loadStore(folder)->messages.size();
}

// The phone again, as it lists these messages now; its cache stays.
inline std::unique_ptr<testsupport::SimPhone> listing(std::unique_ptr<testsupport::SimPhone>& phone,
                                                      const QJsonArray& messages,
                                                      int timeoutMs = testsupport::kHangGuardMs)
{
    const QString address = phone->device.host;
    const QString imei = phone->device.imei;
    phone.reset();
    return std::make_unique<testsupport::SimPhone>(
        testsupport::SimPhone::Options {.address = address,
                                        .fixture = QJsonObject {{QStringLiteral("messages"), messages}},
                                        .imei = imei,
                                        .listen = true,
                                        .timeoutMs = timeoutMs});
}

// The fetches ("1") a phone was asked for in its last listing.
inline qsizetype fetches(const testsupport::SimPhone& phone)
{
    return phone.sim->connections(QStringLiteral("service")).constLast().linesIn.count("1");
}

} // namespace messagejobtest
