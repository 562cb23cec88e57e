#include "jobs/androidrestoremessagesthread.h"

#include "messagestore/exportmessagesdb.h"
#include "phonelink/androiddeviceinfo.h"
#include "phonelink/messagekeys.h"
#include "phonelink/phonesession.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "shell/core/everycore.h"
#include "shell/core/jobreport.h"
#include "shell/core/outputfile.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSet>
#include <QTcpSocket>
#include <QtConcurrent>

#include <deque>
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
    // What goes is decided from the two stores alone, before the phone is
    // asked for anything: comparing many pictures takes its time, which the
    // phone would spend waiting on a silent connection.
    cacheWriter->begin();
    const int total = int(messages.size());
    decideWhatGoes();
    prepareImages();

    // Closed when the restore returns; a failure or cancel stops the Phone
    // Agent before the cache keeps what the phone acknowledged.
    PhoneSession session(*target);
    socket = session.open(PhoneSession::Scheme::Restore, QStringLiteral("mms2"));
    handshake();

    int done = 0;
    while (done < total) {
        jobreport::checkCanceled(progress);
        const int n = qMin(kBatchSize, total - done);
        simpleprotocol::sendCommand(socket, QStringLiteral("$batch:"), QString(), true, -1);
        MsgMessageList sent;
        QList<SentParts> sentParts;
        for (int i = 0; i < n; ++i) {
            jobreport::checkCanceled(progress);
            _MsgMessage* msg = messages.at(done++);
            if (progress)
                progress->postUpdateProgress(QString(), jobreport::percent(done, total),
                                             tr("SMS: %1/%2").arg(done).arg(total));
            // What the phone holds or was sent in this run is counted, not sent.
            if (!goes.at(done - 1))
                continue;
            SentParts parts;
            if (sendMessage(*msg, &parts)) {
                sent.append(msg);
                sentParts.append(parts);
            } else {
                ++unsent;
            }
        }
        simpleprotocol::sendCommand(socket, QStringLiteral("$end:"), QString(), true, -1);
        simpleprotocol::expectCommand(socket, QStringLiteral("$batch:"), -1);
        recordBatch(sent, sentParts);
    }
    simpleprotocol::sendCommand(socket, QStringLiteral("$bye:"), QString(), true, -1);
    finishRecording();
    commitCache();
    if (progress)
        progress->postSucceed(resultText(done));
}

namespace {

using messagekeys::Key;

// The message as it goes to the phone: without the attachments that cannot.
_MsgMessage asItGoes(const _MsgMessage& msg, const std::function<bool(const _MsgAttachment&)>& goes)
{
    _MsgMessage going = msg;
    going.attachments.clear();
    for (auto it = msg.attachments.cbegin(); it != msg.attachments.cend(); ++it) {
        if (goes(**it))
            going.attachments.insert(it.key(), it.value());
    }
    return going;
}

} // namespace

// What the cache says the phone holds, piece by piece: a message that went
// there before and came back with a load may be stored under other file
// names, and so under another logic hash. Each held message is a stored
// one; each media piece has its attachment row, and whether that row says
// what its file holds.
struct AndroidRestoreMessagesThread::CachedPieces {
    messagekeys::HeldPieces pieces;
    QMultiHash<Key, int> byHash; // the stored messages of the logic hashes sought
    QHash<int, std::pair<qint64, bool>> rows; // by media piece
};

// A message to send as it would go: its logic hash and its pieces, without
// the attachments that cannot go.
struct AndroidRestoreMessagesThread::Outgoing {
    Key hash;
    QList<messagekeys::Sought> pieces;
};

void AndroidRestoreMessagesThread::decideWhatGoes()
{
    // Which messages go: not those the phone holds already, as its cache
    // knows it, nor a second one with the same content; each as it would
    // go (an attachment that cannot go is not looked for). Decided once,
    // before the cache is written from another thread, by the rule the load
    // recognises what comes back by (messagekeys::HeldPieces).
    IOS6MessageDb& store = cacheWriter->store();
    std::deque<PartBytes> files;
    const QList<Outgoing> outgoing = messagesAsTheyGo(store, files);
    CachedPieces cached = readCachedPieces(store, outgoing);
    workOutEncodings(cached, outgoing);
    std::vector<std::pair<PartBytes*, int>> copies;
    markHeld(cached, outgoing, &copies);
    keepWhatWasLearnt(store, cached, files, copies);
}

QList<AndroidRestoreMessagesThread::Outgoing>
AndroidRestoreMessagesThread::messagesAsTheyGo(IOS6MessageDb& store, std::deque<PartBytes>& files)
{
    messagekeys::CanonicalAddresses canonical(store.countryDb().getCurCountry());
    QList<Outgoing> outgoing;
    outgoing.reserve(messages.size());
    for (qsizetype i = 0; i < messages.size(); ++i) {
        if ((i + 1) % 4096 == 0)
            jobreport::checkCanceled(progress);
        const _MsgMessage going = asItGoes(*messages.at(i), canSend);
        const QString address = canonical.of(going.handle->id);
        QList<messagekeys::MessagePart> parts;
        for (const _MsgAttachment* att : getAttachments(&going)) {
            messagekeys::MessagePart part {att->mime_type, QString(), nullptr, givenPartName(*att)};
            if (messagekeys::isText(att->mime_type)) {
                part.text = messagekeys::partText(att->localPath);
            } else if (messagekeys::isMediaPart(att->mime_type)) {
                const PartContent content = recordedContent(*att);
                part.bytes
                    = &files.emplace_back(att->localPath, att->mime_type, content, knownIdentity(*att, content, store));
            }
            parts.append(part);
        }
        outgoing.append(Outgoing {Key::fromHex(makeLogicHash(&going)),
                                  messagekeys::piecesOf(address, going.date, going.is_from_me, going.text, parts)});
    }
    return outgoing;
}

AndroidRestoreMessagesThread::CachedPieces
AndroidRestoreMessagesThread::readCachedPieces(IOS6MessageDb& store, const QList<Outgoing>& outgoing)
{
    QSet<Key> hashes;
    for (const Outgoing& message : outgoing)
        hashes.insert(message.hash);
    CachedPieces cached;
    int read = 0;
    messagekeys::readStored(store, messagekeys::Stored::All,
                            [&](const QString& hash, const QList<messagekeys::Piece>& pieces) {
                                // A cache of many messages takes a moment: Cancel is heard meanwhile.
                                if (++read % 4096 == 0)
                                    jobreport::checkCanceled(progress);
                                for (const messagekeys::Piece& piece : pieces) {
                                    const int index = piece.addTo(cached.pieces, read);
                                    if (piece.isMedia())
                                        cached.rows.insert(index, {piece.attachment, piece.content.isKnown()});
                                }
                                const Key key = Key::fromHex(hash);
                                if (hashes.contains(key))
                                    cached.byHash.insert(key, read);
                            });
    return cached;
}

void AndroidRestoreMessagesThread::workOutEncodings(CachedPieces& cached, const QList<Outgoing>& outgoing)
{
    // The encodings the comparisons need, worked out first on every core:
    // only pictures that share a stored picture's correspondent, time and
    // direction and could be its transferred copy (or it theirs).
    QList<PartBytes*> toWorkOut;
    for (const Outgoing& message : outgoing) {
        cached.pieces.collectEncodings(message.pieces, &toWorkOut);
        jobreport::checkCanceled(progress);
    }
    std::sort(toWorkOut.begin(), toWorkOut.end());
    toWorkOut.erase(std::unique(toWorkOut.begin(), toWorkOut.end()), toWorkOut.end());
    PartBytes::workOutSent(
        toWorkOut, [this] { jobreport::checkCanceled(progress); },
        [this](int done, int total) {
            if (progress)
                progress->postUpdateProgress(QString(), jobreport::percent(done, total),
                                             tr("Comparing pictures: %1/%2").arg(done).arg(total));
        });
}

void AndroidRestoreMessagesThread::markHeld(CachedPieces& cached, const QList<Outgoing>& outgoing,
                                            std::vector<std::pair<PartBytes*, int>>* copies)
{
    const int total = int(outgoing.size());
    goes.fill(false, total);
    const auto findIn = [&](const Outgoing& message, int stored) {
        const std::optional<QList<int>> found = cached.pieces.find(message.pieces, stored);
        if (!found)
            return false;
        for (qsizetype k = 0; k < found->size(); ++k) {
            if (PartBytes* bytes = message.pieces.at(k).part.bytes)
                copies->emplace_back(bytes, found->at(k));
        }
        return true;
    };
    // A stored message of the same logic hash answers for its message first,
    // when it holds the message's pieces; then any pieces the cache holds.
    QHash<Key, bool> onPhone; // by logic hash
    for (const Outgoing& message : outgoing) {
        if (onPhone.contains(message.hash))
            continue;
        bool stored = false;
        for (auto [it, last] = cached.byHash.equal_range(message.hash); it != last && !stored; ++it)
            stored = findIn(message, *it);
        onPhone.insert(message.hash, stored || findIn(message, -1));
    }
    QSet<Key> seen;
    for (int i = 0; i < total; ++i) {
        const Key& hash = outgoing.at(i).hash;
        const bool known = onPhone.value(hash);
        if (known)
            ++held;
        goes[i] = !seen.contains(hash) && !known;
        seen.insert(hash);
    }
}

void AndroidRestoreMessagesThread::keepWhatWasLearnt(IOS6MessageDb& store, CachedPieces& cached,
                                                     std::deque<PartBytes>& files,
                                                     const std::vector<std::pair<PartBytes*, int>>& copies)
{
    // What the comparisons learnt stays with the cache: what its files
    // hold, what a transfer sends of the pictures of either side, and which
    // of the phone's pictures are copies of which, so that no later run
    // reads or encodes them again.
    for (auto row = cached.rows.cbegin(); row != cached.rows.cend(); ++row) {
        PartBytes& bytes = *cached.pieces.bytesOf(row.key());
        const auto& [attachment, recorded] = row.value();
        if (!recorded && bytes.storedKnown() && bytes.asStored().isKnown())
            store.recordContent(attachment, bytes.asStored());
        keepLearnt(store, bytes);
    }
    for (PartBytes& bytes : files)
        keepLearnt(store, bytes);
    for (const auto& [source, index] : copies)
        keepSamePicture(store, *source, *cached.pieces.bytesOf(index));
}

void AndroidRestoreMessagesThread::prepareImages()
{
    // Every picture that goes is encoded now, on every core, into a file of
    // its own: the session then only sends, and is never silent while a
    // picture is encoded.
    QList<const _MsgAttachment*> pictures;
    QSet<const _MsgAttachment*> listed;
    for (qsizetype i = 0; i < messages.size(); ++i) {
        if (!goes.at(i))
            continue;
        for (const _MsgAttachment* att : getAttachments(messages.at(i))) {
            if (canSend(*att) && isReencoded(att->mime_type) && !listed.contains(att)) {
                listed.insert(att);
                pictures.append(att);
            }
        }
    }
    if (pictures.isEmpty())
        return;
    preparedDir = std::make_unique<QTemporaryDir>();
    if (!preparedDir->isValid())
        throw std::runtime_error(
            QStringLiteral("Cannot make a folder for the pictures. %1").arg(preparedDir->errorString()).toStdString());
    std::vector<QString> paths(size_t(pictures.size()));
    everycore::run(
        int(pictures.size()),
        [&](int i, const std::atomic_bool& stop) {
            const _MsgAttachment* att = pictures.at(i);
            const EncodedImage image = encodeImage(att->localPath, att->mime_type, false, &stop);
            // A picture a transfer does not encode goes as it is.
            if (image.result != EncodedImage::Result::Encoded)
                return;
            // Checked through its close: a small picture reaches the disk
            // only then, and a full folder must not send it cut short. The
            // first failure stops the others.
            const QString path = preparedDir->filePath(QString::number(i));
            OutputFile file(path);
            if (!file.open() || !file.write(image.upright) || !file.commit())
                throw std::runtime_error(tr("Cannot prepare the picture %1 for the phone. %2")
                                             .arg(fileNameOf(*att), file.errorString())
                                             .toStdString());
            paths[size_t(i)] = path;
        },
        [this] { jobreport::checkCanceled(progress); },
        [this](int done, int total) {
            if (progress)
                progress->postUpdateProgress(QString(), jobreport::percent(done, total),
                                             tr("Preparing pictures: %1/%2").arg(done).arg(total));
        });
    for (qsizetype i = 0; i < pictures.size(); ++i) {
        if (!paths[size_t(i)].isEmpty())
            prepared.insert(pictures.at(i), paths[size_t(i)]);
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

bool AndroidRestoreMessagesThread::sendMessage(const _MsgMessage& msg, SentParts* sent)
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
    for (const _MsgAttachment* att : std::as_const(sendable)) {
        const PartContent content = sendAttachment(*att);
        if (!content.isKnown())
            continue;
        sent->went.append(att);
        if (messagekeys::isMediaPart(att->mime_type))
            sent->media.append(content);
    }
    return true;
}

PartContent AndroidRestoreMessagesThread::sendAttachment(const _MsgAttachment& att)
{
    jobreport::checkCanceled(progress);
    const QString name = sentName(att);
    simpleprotocol::sendCommand(socket, QStringLiteral("$atta:"), att.mime_type + QLatin1Char(',') + name, true, -1);
    PartContent sent;
    // A picture goes as it was prepared (one line).
    if (const QString path = prepared.value(&att); !path.isEmpty()) {
        QFile file(path);
        const QByteArray image = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        if (image.size() != file.size() || image.isEmpty())
            throw std::runtime_error(
                QStringLiteral("read file %1 error. %2").arg(path, file.errorString()).toUtf8().toStdString());
        sendDataLine(image);
        sent = contentOfBytes(image);
    }
    // Anything that is not a picture we can scale goes as it is.
    if (!sent.isKnown()) {
        PartHasher hasher;
        if (sendFile(att.localPath, &hasher))
            sent = hasher.result();
        else
            leftOut.append(name);
    }
    simpleprotocol::sendCommand(socket, QStringLiteral("."), QString(), true, -1);
    simpleprotocol::expectCommand(socket, QStringLiteral("."), -1);
    return sent;
}

bool AndroidRestoreMessagesThread::sendFile(const QString& path, PartHasher* hasher)
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
        hasher->addData(QByteArrayView(block.constData(), n));
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

void AndroidRestoreMessagesThread::recordBatch(const MsgMessageList& acknowledged, const QList<SentParts>& sent)
{
    // The cache is written on a thread of its own while the next batch goes
    // out; batches are written one after the other, in order.
    finishRecording();
    recording = QtConcurrent::run(&recorder, [this, acknowledged, sent] {
        try {
            writeBatch(acknowledged, sent);
        } catch (const std::exception& e) {
            recordError = QString::fromUtf8(e.what());
        }
    });
}

void AndroidRestoreMessagesThread::writeBatch(const MsgMessageList& acknowledged, const QList<SentParts>& sentParts)
{
    if (acknowledged.isEmpty())
        return;
    IOS6MessageDb& store = cacheWriter->store();
    // The next load records what the phone gives back of these as the
    // messages written here, by what each picture was sent as (see
    // messagekeys). A run that records nothing adds no table.
    if (!sentTableMade) {
        store.executeThrow(QStringLiteral("CREATE TABLE IF NOT EXISTS %1(hash TEXT UNIQUE)")
                               .arg(QLatin1String(messagekeys::kSentTable)));
        store.executeThrow(
            QStringLiteral("CREATE TABLE IF NOT EXISTS %1(hash TEXT, total_bytes INTEGER, content_hash TEXT)")
                .arg(QLatin1String(messagekeys::kSentPartTable)));
        sentTableMade = true;
    }
    Sqlite3Sql sent(
        QStringLiteral("insert or ignore into %1(hash) values(?)").arg(QLatin1String(messagekeys::kSentTable)));
    Sqlite3Sql part(QStringLiteral("insert into %1(hash, total_bytes, content_hash) values(?,?,?)")
                        .arg(QLatin1String(messagekeys::kSentPartTable)));
    for (qsizetype i = 0; i < acknowledged.size(); ++i) {
        // As it went: an attachment that could not go is not expected back.
        const SentParts& went = sentParts.at(i);
        const _MsgMessage going
            = asItGoes(*acknowledged.at(i), [&](const _MsgAttachment& att) { return went.went.contains(&att); });
        const _MsgMessage* m = &going;
        const QString hash = makeLogicHash(m);
        QString stored;
        if (m->chat) {
            stored = cacheWriter->write(*m, hash).logicHash;
        } else {
            // A message whose conversation is missing from its store: the
            // phone files it under its counterpart, and so does the cache
            // (the writer would drop it, and a later transfer would send it
            // again).
            _MsgHandle handle;
            _MsgChat chat;
            makeSmsChat(m->handle->id, m->handle->_ct_name, &handle, &chat);
            _MsgMessage filed = *m;
            filed.handle = &handle;
            filed.chat = &chat;
            stored = cacheWriter->write(filed, hash).logicHash;
        }
        // Under the logic hash the cache gave it, which may differ from the
        // source's where another message of the cache held that one.
        if (stored.isEmpty())
            stored = hash;
        sent.clearParams();
        sent.addTextParam(stored);
        store.executeThrow(sent);
        for (const PartContent& content : went.media) {
            part.clearParams();
            part.addTextParam(stored);
            part.addInt64Param(content.size);
            part.addTextParam(content.digest);
            store.executeThrow(part);
        }
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
        for (const QString& n : leftOut)
            names.append(n.toHtmlEscaped());
        text += QStringLiteral("<br/>")
            + tr("IDS_SMS_ATTACHMENTS_NOT_SENT_%1_%2")
                  .arg(leftOut.size())
                  .arg(jobreport::namesShown(names, kMaxNamesShown, QStringLiteral("\u2026")));
    }
    if (switched)
        text += tr("IDS_RESTORE_SMS_RESUME_DEFAULT_APP");
    return text;
}

void AndroidRestoreMessagesThread::cleanUp()
{
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
