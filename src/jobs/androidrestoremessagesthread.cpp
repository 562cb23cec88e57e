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

    // Closed when the restore returns; a failure or cancel stops the Phone
    // Agent before the cache keeps what the phone acknowledged.
    PhoneSession session(*target);
    socket = session.open(PhoneSession::Scheme::Restore, QStringLiteral("mms2"));
    handshake();

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

void AndroidRestoreMessagesThread::decideWhatGoes()
{
    // Which messages go: not those the phone holds already, as its cache
    // knows it, nor a second one with the same content. Decided once, before
    // the cache is written from another thread. The keys of every message
    // of both sides are held at once: they are kept small.
    using messagekeys::Key;
    IOS6MessageDb& store = cacheWriter->store();
    const int total = int(messages.size());
    goes.resize(total);
    messagekeys::CanonicalAddresses canonical(store.countryDb().getCurCountry());

    // The pieces the phone will hold of each message once sent: its text and
    // each part that can go, with the part itself; message i's are
    // sourcePieces[firstPiece[i]] up to firstPiece[i + 1].
    struct SourcePiece {
        Key key;
        const _MsgAttachment* att = nullptr; // a media part's
    };
    std::vector<Key> hashes;
    std::vector<SourcePiece> sourcePieces;
    std::vector<int> firstPiece;
    hashes.reserve(total);
    firstPiece.reserve(total + 1);
    for (int i = 0; i < total; ++i) {
        if ((i + 1) % 4096 == 0)
            jobreport::checkCanceled(progress);
        const _MsgMessage* msg = messages.at(i);
        hashes.push_back(Key::fromHex(makeLogicHash(msg)));
        firstPiece.push_back(int(sourcePieces.size()));
        const QString address = canonical.of(msg->handle->id);
        const QString text = removeObjReplacementChars(msg);
        if (!text.isEmpty())
            sourcePieces.push_back({messagekeys::textKey(address, msg->date, msg->is_from_me, text), nullptr});
        for (const _MsgAttachment* att : getAttachments(msg)) {
            if (canSend(*att) && messagekeys::isMediaPart(att->mime_type))
                sourcePieces.push_back({messagekeys::mediaKey(address, msg->date, msg->is_from_me), att});
        }
    }
    firstPiece.push_back(int(sourcePieces.size()));
    const QSet<Key> sourceHashes(hashes.cbegin(), hashes.cend());

    // What the cache says the phone holds, piece by piece: a message that
    // went there before and came back with a load may be stored under other
    // file names, and so under another logic hash. A picture is held only
    // as the same picture (samePart): the same bytes, or a copy a transfer
    // made of one side. A stored message's pieces are consecutive.
    struct MediaPiece {
        PartBytes bytes;
        QString name;
        qint64 attachment = 0;
        bool recorded = false; // the row says what its file holds
    };
    struct CachePiece {
        int media = -1; // its MediaPiece, -1 for a text
        bool taken = false;
    };
    std::vector<CachePiece> cached;
    std::vector<MediaPiece> media;
    std::vector<std::pair<Key, int>> byKey; // sorted below
    QMultiHash<Key, std::pair<int, int>> byHash; // stored messages of the source's logic hashes: their pieces
    int read = 0;
    messagekeys::readStored(
        store, messagekeys::Stored::All, [&](const QString& hash, const QList<messagekeys::Piece>& pieces) {
            // A cache of many messages takes a moment: Cancel is heard meanwhile.
            if (++read % 4096 == 0)
                jobreport::checkCanceled(progress);
            const int first = int(cached.size());
            for (const messagekeys::Piece& piece : pieces) {
                byKey.emplace_back(piece.key, int(cached.size()));
                CachePiece entry;
                if (piece.isMedia()) {
                    entry.media = int(media.size());
                    media.push_back({PartBytes(piece.path, piece.mime, piece.content, piece.identity), piece.name,
                                     piece.attachment, piece.content.isKnown()});
                }
                cached.push_back(entry);
            }
            const Key key = Key::fromHex(hash);
            if (sourceHashes.contains(key))
                byHash.insert(key, {first, int(cached.size())});
        });
    std::sort(byKey.begin(), byKey.end());

    // The parts' files as they are and as they would go, each read once,
    // with what the cache learnt of their bytes on earlier runs. (A deque
    // keeps them in place: the comparisons hold on to them.)
    std::deque<PartBytes> sourceBytes;
    QHash<const _MsgAttachment*, PartBytes*> sourceBytesOf;
    const auto bytesOf = [&](const _MsgAttachment* att) -> PartBytes& {
        PartBytes*& bytes = sourceBytesOf[att];
        if (!bytes) {
            const PartContent content = recordedContent(*att);
            bytes = &sourceBytes.emplace_back(att->localPath, att->mime_type, content,
                                              knownIdentity(*att, content, store));
        }
        return *bytes;
    };
    const auto withKey = [&](const Key& key) {
        return std::equal_range(byKey.cbegin(), byKey.cend(), std::pair<Key, int>(key, 0),
                                [](const auto& a, const auto& b) { return a.first < b.first; });
    };

    // The encodings the comparisons need, worked out first on every core:
    // only pictures that share a stored picture's correspondent, time and
    // direction and could be its transferred copy (or it theirs).
    {
        QList<PartBytes*> toWorkOut;
        for (const SourcePiece& source : sourcePieces) {
            if (!source.att)
                continue;
            for (auto [it, last] = withKey(source.key); it != last; ++it) {
                const int held = cached[it->second].media;
                if (held >= 0)
                    matchParts(bytesOf(source.att), media[held].bytes, &toWorkOut);
            }
            jobreport::checkCanceled(progress);
        }
        std::sort(toWorkOut.begin(), toWorkOut.end());
        toWorkOut.erase(std::unique(toWorkOut.begin(), toWorkOut.end()), toWorkOut.end());
        PartBytes::workOutSent(toWorkOut, [this] { jobreport::checkCanceled(progress); });
    }
    const auto same = [&](int index, const SourcePiece& source) {
        const CachePiece& piece = cached[index];
        if (piece.taken || (piece.media >= 0) != (source.att != nullptr))
            return false;
        if (!source.att)
            return true; // a text: its key is its content
        MediaPiece& held = media[piece.media];
        return samePart(bytesOf(source.att), givenPartName(*source.att), held.bytes, held.name);
    };
    // The pictures found on the phone as another copy of a source's.
    std::vector<std::pair<const _MsgAttachment*, int>> copies;
    // Takes for each of message i's pieces one the phone holds, among the
    // pieces from..to of one stored message (every piece when to < 0), when
    // it holds them all.
    const auto take = [&](int i, int from, int to) {
        const int first = firstPiece[i];
        const int end = firstPiece[i + 1];
        if (first == end)
            return to >= 0;
        std::vector<int> chosen;
        for (int p = first; p < end; ++p) {
            const SourcePiece& source = sourcePieces[p];
            int found = -1;
            for (auto [it, last] = withKey(source.key); it != last && found < 0; ++it) {
                const int index = it->second;
                if ((to < 0 || (index >= from && index < to))
                    && std::find(chosen.cbegin(), chosen.cend(), index) == chosen.cend() && same(index, source))
                    found = index;
            }
            if (found < 0)
                return false;
            chosen.push_back(found);
        }
        for (size_t k = 0; k < chosen.size(); ++k) {
            cached[chosen[k]].taken = true;
            if (const _MsgAttachment* att = sourcePieces[first + int(k)].att)
                copies.emplace_back(att, cached[chosen[k]].media);
        }
        return true;
    };

    QHash<Key, bool> onPhone; // by logic hash
    // A stored copy of the same logic hash answers for its message first,
    // when it holds the message's bytes.
    for (int i = 0; i < total; ++i) {
        if (onPhone.contains(hashes[i]))
            continue;
        bool stored = false;
        for (auto [it, last] = byHash.equal_range(hashes[i]); it != last && !stored; ++it)
            stored = take(i, it->first, it->second);
        onPhone.insert(hashes[i], stored);
    }
    for (int i = 0; i < total; ++i) {
        bool& known = onPhone[hashes[i]];
        if (!known)
            known = take(i, 0, -1);
    }
    QSet<Key> seen;
    for (int i = 0; i < total; ++i) {
        const bool known = onPhone.value(hashes[i]);
        if (known)
            ++held;
        goes[i] = !seen.contains(hashes[i]) && !known;
        seen.insert(hashes[i]);
    }

    // What the comparisons learnt stays with the cache: what its files
    // hold, what a transfer sends of the pictures of either side, and which
    // of the phone's pictures are copies of which, so that no later run
    // reads or encodes them again.
    for (MediaPiece& piece : media) {
        if (!piece.recorded && piece.bytes.storedKnown() && piece.bytes.asStored().isKnown())
            store.recordContent(piece.attachment, piece.bytes.asStored());
        if (piece.bytes.sentWorkedOut())
            store.recordIdentity(piece.bytes.asStored(), piece.bytes.identity());
    }
    for (PartBytes& bytes : sourceBytes) {
        if (bytes.sentWorkedOut())
            store.recordIdentity(bytes.asStored(), bytes.identity());
    }
    for (const auto& [att, index] : copies) {
        PartBytes& source = *sourceBytesOf.value(att);
        PartBytes& phone = media[index].bytes;
        const PartContent sourceContent = source.asStored();
        const PartContent phoneContent = phone.asStored();
        if (!sourceContent.isKnown() || !phoneContent.isKnown() || sourceContent == phoneContent)
            continue;
        if (source.sentKnown() && source.asSent() == phoneContent && !phone.origin().isKnown())
            store.recordIdentity(phoneContent, PartIdentity {PartContent(), source.root()});
        else if (phone.sentKnown() && phone.asSent() == sourceContent && !source.origin().isKnown())
            store.recordIdentity(sourceContent, PartIdentity {PartContent(), phone.root()});
    }
}

void AndroidRestoreMessagesThread::prepareImages(int first)
{
    const int end = qMin(first + kBatchSize, int(messages.size()));
    for (int i = first; i < end; ++i) {
        if (!goes.at(i))
            continue;
        for (const _MsgAttachment* att : getAttachments(messages.at(i))) {
            if (canSend(*att) && att->mime_type.startsWith(QLatin1String("image"), Qt::CaseInsensitive))
                images.insert(att, QtConcurrent::run([path = att->localPath, mime = att->mime_type] {
                                  return encodedImage(path, mime);
                              }));
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
        if (messagekeys::isMediaPart(att->mime_type) && content.isKnown())
            sent->append(content);
    }
    return true;
}

PartContent AndroidRestoreMessagesThread::sendAttachment(const _MsgAttachment& att)
{
    jobreport::checkCanceled(progress);
    const QString name = sentName(att);
    simpleprotocol::sendCommand(socket, QStringLiteral("$atta:"), att.mime_type + QLatin1Char(',') + name, true, -1);
    PartContent sent;
    if (isReencoded(att.mime_type)) {
        // Prepared in the pool, unless one attachment serves two messages.
        const QByteArray image
            = images.contains(&att) ? images.take(&att).result() : encodedImage(att.localPath, att.mime_type);
        if (!image.isEmpty()) {
            sendDataLine(image);
            sent = contentOfBytes(image);
        }
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
        const _MsgMessage* m = acknowledged.at(i);
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
        for (const PartContent& content : sentParts.value(i)) {
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
