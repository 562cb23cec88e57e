#include "jobs/androidrestoremessagesthread.h"

#include "messagestore/exportmessagesdb.h"
#include "phonelink/androiddeviceinfo.h"
#include "phonelink/messagekeys.h"
#include "phonelink/phonesession.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "shell/core/jobreport.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QLocale>
#include <QSet>
#include <QTcpSocket>
#include <QtConcurrent>

#include <stdexcept>

namespace {

// Names listed in the result; the rest is counted.
constexpr int kMaxNamesShown = 10;

QString fileNameOf(const _MsgAttachment& att)
{
    if (!att.localPath.isEmpty())
        return QFileInfo(att.localPath).fileName();
    const QString stored = att.filename.section(QLatin1Char('/'), -1);
    return stored.isEmpty() ? att.transfer_name : stored;
}

bool holdsLineBreak(const QString& text)
{
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
}

// The name the part goes under: the one the phone it came from gave it, so
// that the message is known for the one stored when it comes back (the
// store's own file name may carry a tag that tells apart parts of one
// name); the file's name when the store holds none.
QString sentName(const _MsgAttachment& att)
{
    const QString given = phoneNameToPathComponent(att.transfer_name);
    return given.isEmpty() ? QFileInfo(att.localPath).fileName() : given;
}

// Whether the attachment can be announced: its file is there to be read,
// and its type and name travel as plain text in one "$atta:" line (the type
// also must not hold the field separator).
bool canSend(const _MsgAttachment& att)
{
    const QFileInfo file(att.localPath);
    return !att.localPath.isEmpty() && file.isFile() && file.isReadable() && !holdsLineBreak(att.mime_type)
        && !att.mime_type.contains(QLatin1Char(',')) && !holdsLineBreak(sentName(att));
}

// Takes one piece for each key from the pieces the phone holds, when it
// holds them all; false (nothing taken) otherwise.
bool takePieces(QHash<QString, int>& onPhone, const QStringList& keys)
{
    if (keys.isEmpty())
        return false;
    QHash<QString, int> wanted;
    for (const QString& k : keys)
        ++wanted[k];
    for (auto it = wanted.cbegin(); it != wanted.cend(); ++it) {
        if (onPhone.value(it.key()) < it.value())
            return false;
    }
    for (auto it = wanted.cbegin(); it != wanted.cend(); ++it)
        onPhone[it.key()] -= it.value();
    return true;
}

// "$sms:" argument: date in milliseconds since 1970, direction, address,
// text without object replacement characters, subject, attachment count.
QString messageLine(const _MsgMessage& msg, qsizetype attachments)
{
    const qint64 ms = (qint64(msg.date) + kIosEpochOffset) * 1000;
    return QStringLiteral("%1,%2,%3,%4,%5,%6")
        .arg(ms)
        .arg(msg.is_from_me != 0 ? 1 : 0)
        .arg(simpleprotocol::encodeField(msg.handle ? msg.handle->id : QString()),
             simpleprotocol::encodeField(removeObjReplacementChars(&msg)), simpleprotocol::encodeField(msg.subject))
        .arg(attachments);
}

} // namespace

AndroidRestoreMessagesThread::AndroidRestoreMessagesThread(AndroidDeviceInfo* target, const MsgMessageList& given,
                                                           JobReport* progress, QObject* parent)
    : QThread(parent)
    , target(target)
    , progress(progress)
    , cacheWriter(std::make_unique<ExportMessagesDb>(target->cacheDir(), target->mmc))
{
    recorder.setMaxThreadCount(1);
    for (_MsgMessage* m : given) {
        if (m->item_type != 0 || !m->handle)
            ++skipped;
        else
            messages.append(m);
    }
    sortMessages(messages);
}

AndroidRestoreMessagesThread::~AndroidRestoreMessagesThread() = default;

QByteArray AndroidRestoreMessagesThread::encodedImage(const QString& path, const QString& mime)
{
    // Only these two formats are scaled; the reader must not fall back to
    // whatever the content looks like (a GIF would lose its animation).
    QImage image;
    for (const char* format : {"JPG", "PNG"}) {
        QImageReader reader(path, format);
        reader.setAutoDetectImageFormat(false);
        if (reader.read(&image))
            break;
    }
    if (image.isNull())
        return QByteArray();
    if (qMax(image.width(), image.height()) > kMaxImageSide) {
        image = image.width() <= image.height() ? image.scaledToHeight(kMaxImageSide, Qt::FastTransformation)
                                                : image.scaledToWidth(kMaxImageSide, Qt::FastTransformation);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const bool png = mime.endsWith(QLatin1String("png"), Qt::CaseInsensitive);
    if (!image.save(&buffer, png ? "PNG" : "JPG"))
        return QByteArray();
    return bytes;
}

void AndroidRestoreMessagesThread::run()
{
    // Blocking waits on the phone also end when the user cancels.
    simpleprotocol::CancelScope cancelScope(progress);
    try {
        restore();
    } catch (int) {
        // The user cancelled: the dialog is closed already.
        cleanUp();
    } catch (const std::exception& e) {
        cleanUp();
        if (progress)
            progress->postErrorOccurred(QString::fromUtf8(e.what()));
    }
    socket = nullptr;
}

void AndroidRestoreMessagesThread::restore()
{
    if (progress)
        progress->postUpdateProgress(tr("IDS_RESTORING_SMS_TO_ANDROID"), 0, QString());
    // Closed when the restore returns; a failure or cancel stops the Phone
    // Agent before the cache keeps what the phone acknowledged.
    PhoneSession session(*target);
    socket = session.open(PhoneSession::Scheme::Restore, QStringLiteral("mms2"));
    handshake();

    cacheWriter->begin();
    const int total = int(messages.size());
    decideWhatGoes();

    int done = 0;
    while (done < total) {
        jobreport::checkCanceled(progress);
        const int n = qMin(kBatchSize, total - done);
        // The pictures of this batch and the next are encoded while the
        // messages before them are on their way.
        if (done == 0)
            prepareImages(0);
        prepareImages(done + n);
        simpleprotocol::sendCommand(socket, QStringLiteral("$batch:"), QString(), true, -1);
        MsgMessageList sent;
        for (int i = 0; i < n; ++i) {
            jobreport::checkCanceled(progress);
            _MsgMessage* msg = messages.at(done++);
            if (progress)
                progress->postUpdateProgress(QString(), jobreport::percent(done, total),
                                             tr("SMS: %1/%2").arg(done).arg(total));
            // What the phone holds or was sent in this run is counted, not sent.
            if (!goes.at(done - 1))
                continue;
            if (sendMessage(*msg))
                sent.append(msg);
            else
                ++unsent;
        }
        simpleprotocol::sendCommand(socket, QStringLiteral("$end:"), QString(), true, -1);
        simpleprotocol::expectCommand(socket, QStringLiteral("$batch:"), -1);
        recordBatch(sent);
    }
    simpleprotocol::sendCommand(socket, QStringLiteral("$bye:"), QString(), true, -1);
    finishRecording();
    commitCache();
    if (progress)
        progress->postSucceed(resultText(done));
}

void AndroidRestoreMessagesThread::decideWhatGoes()
{
    // Which messages go: not those the phone holds already, as its cache
    // knows it, nor a second one with the same content. Decided once, before
    // the cache is written from another thread.
    IOS6MessageDb& store = cacheWriter->store();
    const int total = int(messages.size());
    goes.resize(total);
    // What the cache says the phone holds, piece by piece: a message that
    // went there before and came back with a load may be stored under other
    // file names, and so under another logic hash.
    QHash<QString, int> pieces;
    int read = 0;
    messagekeys::readStored(store, messagekeys::Stored::All, [&](const QString&, const QStringList& keys) {
        // A cache of many messages takes a moment: Cancel is heard meanwhile.
        if (++read % 4096 == 0)
            jobreport::checkCanceled(progress);
        for (const QString& k : keys)
            ++pieces[k];
    });
    messagekeys::CanonicalAddresses canonical(store.countryDb().getCurCountry());
    QStringList hashes;
    QList<QStringList> keys;
    QHash<QString, bool> onPhone; // by logic hash
    for (int i = 0; i < total; ++i) {
        if ((i + 1) % 4096 == 0)
            jobreport::checkCanceled(progress);
        const _MsgMessage* msg = messages.at(i);
        hashes.append(makeLogicHash(msg));
        keys.append(pieceKeys(*msg, canonical));
        if (onPhone.contains(hashes.last()))
            continue;
        const bool stored = store.findMessageByLogicHash(hashes.last()) != 0;
        onPhone.insert(hashes.last(), stored);
        // The stored copy answers for this message alone.
        if (stored)
            takePieces(pieces, keys.last());
    }
    for (int i = 0; i < total; ++i) {
        bool& known = onPhone[hashes.at(i)];
        if (!known)
            known = takePieces(pieces, keys.at(i));
    }
    QSet<QString> seen;
    for (int i = 0; i < total; ++i) {
        const QString& hash = hashes.at(i);
        const bool known = onPhone.value(hash);
        if (known)
            ++held;
        goes[i] = !seen.contains(hash) && !known;
        seen.insert(hash);
    }
}

QStringList AndroidRestoreMessagesThread::pieceKeys(const _MsgMessage& msg, messagekeys::CanonicalAddresses& canonical)
{
    // As the phone will hold it: the counterpart's address as a load makes
    // it canonical, the text without place holders, the parts that go under
    // the names they go under.
    QList<messagekeys::Part> parts;
    for (const _MsgAttachment* att : getAttachments(&msg)) {
        if (canSend(*att))
            parts.append({sentName(*att), att->mime_type});
    }
    return messagekeys::keys(canonical.of(msg.handle->id), msg.date, msg.is_from_me, removeObjReplacementChars(&msg),
                             parts);
}

void AndroidRestoreMessagesThread::prepareImages(int first)
{
    const int end = qMin(first + kBatchSize, int(messages.size()));
    for (int i = first; i < end; ++i) {
        if (!goes.at(i))
            continue;
        for (const _MsgAttachment* att : getAttachments(messages.at(i))) {
            if (canSend(*att) && att->mime_type.startsWith(QLatin1String("image"), Qt::CaseInsensitive))
                images.insert(
                    att,
                    QtConcurrent::run(&AndroidRestoreMessagesThread::encodedImage, att->localPath, att->mime_type));
        }
    }
}

void AndroidRestoreMessagesThread::handshake()
{
    const QString line = simpleprotocol::expectCommand(socket, QStringLiteral("$defsmsapp:"), -1);
    if (line.mid(11).toInt() == 0)
        return;
    switched = true;
    jobreport::tipsWait(progress, tr("IDS_RESTORE_SMS_SET_DEFAULT_APP"));
    jobreport::checkCanceled(progress);
    simpleprotocol::sendCommand(socket, QStringLiteral("$defsmsapp:"), QString(), true, -1);
}

bool AndroidRestoreMessagesThread::sendMessage(const _MsgMessage& msg)
{
    // The "$sms:" line announces how many attachments follow: decide first.
    QList<const _MsgAttachment*> sendable;
    const QList<_MsgAttachment*> all = getAttachments(&msg);
    for (const _MsgAttachment* att : all) {
        if (canSend(*att))
            sendable.append(att);
        else
            leftOut.append(fileNameOf(*att));
    }
    if (!all.isEmpty() && sendable.isEmpty() && removeObjReplacementChars(&msg).isEmpty() && msg.subject.isEmpty())
        return false;
    simpleprotocol::sendCommand(socket, QStringLiteral("$sms:"), messageLine(msg, sendable.size()), !sendable.isEmpty(),
                                -1);
    for (const _MsgAttachment* att : std::as_const(sendable))
        sendAttachment(*att);
    return true;
}

void AndroidRestoreMessagesThread::sendAttachment(const _MsgAttachment& att)
{
    jobreport::checkCanceled(progress);
    const QString name = sentName(att);
    simpleprotocol::sendCommand(socket, QStringLiteral("$atta:"), att.mime_type + QLatin1Char(',') + name, true, -1);
    bool sent = false;
    if (att.mime_type.startsWith(QLatin1String("image"), Qt::CaseInsensitive)) {
        // Prepared in the pool, unless one attachment serves two messages.
        const QByteArray image
            = images.contains(&att) ? images.take(&att).result() : encodedImage(att.localPath, att.mime_type);
        if (!image.isEmpty()) {
            sendDataLine(image);
            sent = true;
        }
    }
    // Anything that is not a picture we can scale goes as it is.
    if (!sent && !sendFile(att.localPath))
        leftOut.append(name);
    simpleprotocol::sendCommand(socket, QStringLiteral("."), QString(), true, -1);
    simpleprotocol::expectCommand(socket, QStringLiteral("."), -1);
}

bool AndroidRestoreMessagesThread::sendFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QString name = QFileInfo(path).fileName();
    const qint64 size = file.size();
    qint64 sent = 0;
    block.resize(kBlockBytes);
    for (;;) {
        jobreport::checkCanceled(progress);
        const qint64 n = file.read(block.data(), kBlockBytes);
        if (n < 0)
            throw std::runtime_error(
                QStringLiteral("read file %1 error. %2").arg(path, file.errorString()).toUtf8().toStdString());
        if (n == 0)
            return true;
        sendDataLine(QByteArray::fromRawData(block.constData(), n));
        sent += n;
        if (progress)
            progress->postUpdateProgress(
                QString(), -1,
                tr("Sending %1, %2/%3 KB").arg(name, QLocale().toString(sent / 1024), QLocale().toString(size / 1024)));
    }
}

void AndroidRestoreMessagesThread::sendDataLine(const QByteArray& bytes)
{
    // Base64 holds no line break: the line needs no check.
    const QByteArray line = bytes.toBase64() + '\n';
    simpleprotocol::writeData(socket, line.constData(), line.size(), false, -1);
}

void AndroidRestoreMessagesThread::recordBatch(const MsgMessageList& acknowledged)
{
    // The cache is written on a thread of its own while the next batch goes
    // out; batches are written one after the other, in order.
    finishRecording();
    recording = QtConcurrent::run(&recorder, [this, acknowledged] {
        try {
            writeBatch(acknowledged);
        } catch (const std::exception& e) {
            recordError = QString::fromUtf8(e.what());
        }
    });
}

void AndroidRestoreMessagesThread::writeBatch(const MsgMessageList& acknowledged)
{
    if (acknowledged.isEmpty())
        return;
    IOS6MessageDb& store = cacheWriter->store();
    // The next load records what the phone gives back of these as the
    // messages written here (see messagekeys). A run that records nothing
    // adds no table.
    if (!sentTableMade) {
        store.executeThrow(QStringLiteral("CREATE TABLE IF NOT EXISTS %1(hash TEXT UNIQUE)")
                               .arg(QLatin1String(messagekeys::kSentTable)));
        sentTableMade = true;
    }
    Sqlite3Sql sent(
        QStringLiteral("insert or ignore into %1(hash) values(?)").arg(QLatin1String(messagekeys::kSentTable)));
    for (const _MsgMessage* m : acknowledged) {
        const QString hash = makeLogicHash(m);
        sent.clearParams();
        sent.addTextParam(hash);
        store.executeThrow(sent);
        if (m->chat) {
            cacheWriter->write(*m, hash);
            continue;
        }
        // A message whose conversation is missing from its store: the phone
        // files it under its counterpart, and so does the cache (the writer
        // would drop it, and a later transfer would send it again).
        _MsgHandle handle;
        _MsgChat chat;
        makeSmsChat(m->handle->id, m->handle->_ct_name, &handle, &chat);
        _MsgMessage filed = *m;
        filed.handle = &handle;
        filed.chat = &chat;
        cacheWriter->write(filed, hash);
    }
}

void AndroidRestoreMessagesThread::finishRecording()
{
    recording.waitForFinished();
    if (!recordError.isEmpty())
        throw std::runtime_error(recordError.toUtf8().toStdString());
}

QString AndroidRestoreMessagesThread::resultText(int done) const
{
    // What the phone held before the run was not sent and is not counted as
    // restored.
    const int restored = done - unsent - held;
    QString text;
    if (restored == 0 && held > 0) {
        text = tr("IDS_SMS_NOTHING_SENT_ALL_ON_ANDROID_%1").arg(held);
    } else {
        text = tr("IDS_SUC_RESTORE_%1_SMS_TO_ANDROID").arg(restored);
        if (held > 0)
            text += QStringLiteral("<br/>") + tr("IDS_SMS_ALREADY_ON_ANDROID_%1").arg(held);
    }
    if (skipped > 0)
        text += tr("IDS_SKIP_%1_SMS_GROUP_OR_SYS_MESSAGES").arg(skipped);
    if (!leftOut.isEmpty()) {
        QStringList names;
        for (const QString& n : leftOut.mid(0, kMaxNamesShown))
            names.append(n.toHtmlEscaped());
        if (leftOut.size() > kMaxNamesShown)
            names.append(QStringLiteral("\u2026"));
        text += QStringLiteral("<br/>")
            + tr("IDS_SMS_ATTACHMENTS_NOT_SENT_%1_%2").arg(leftOut.size()).arg(names.join(QStringLiteral(", ")));
    }
    if (switched)
        text += tr("IDS_RESTORE_SMS_RESUME_DEFAULT_APP");
    return text;
}

void AndroidRestoreMessagesThread::cleanUp()
{
    for (QFuture<QByteArray>& image : images)
        image.waitForFinished();
    images.clear();
    // What the phone acknowledged stays known; after a failure of the cache
    // itself the whole uncommitted run goes, as the store cannot be trusted
    // to commit then.
    recording.waitForFinished();
    if (recordError.isEmpty()) {
        try {
            commitCache();
        } catch (const std::exception& e) {
            qWarning("AndroidRestoreMessagesThread: the cache could not keep the run: %s", e.what());
        }
    }
    cacheWriter.reset();
}

void AndroidRestoreMessagesThread::commitCache()
{
    if (cacheWriter->store().isRollbackOnly())
        throw std::runtime_error("The cache message store rolled the transfer back.");
    cacheWriter->end();
}
