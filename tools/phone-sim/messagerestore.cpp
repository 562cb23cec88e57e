#include "messagerestore.h"

#include "phonesim.h"
#include "restorelines.h"
#include "restoreservices.h"

#include <QVariantList>

namespace phonesim {

namespace {

using namespace restorelines;

// More attachments than a message can plausibly have: a count the PC got wrong.
constexpr qint64 kMaxAttachments = 1000;

QByteArray readChecked(Session& s, RestoreStore& store)
{
    const QByteArray line = s.readLine();
    // A carriage return splits the line for the phone: some text travelled
    // unencoded.
    if (line.contains('\r'))
        fail(s, store, QStringLiteral("line holds a carriage return [%1]").arg(shown(line)));
    return line;
}

// One attachment: "$atta:<mime>,<name>" (the name may hold commas), strict
// Base64 data lines, ".".
QVariantMap readAttachment(Session& s, RestoreStore& store)
{
    const QByteArray line = readChecked(s, store);
    const QByteArray rest = line.mid(6);
    const qsizetype comma = rest.indexOf(',');
    const QByteArray mime = rest.left(comma);
    if (!line.startsWith("$atta:") || comma < 0 || !mime.contains('/') || comma == rest.size() - 1)
        fail(s, store, QStringLiteral("bad attachment line [%1]").arg(shown(line)));
    QByteArray data;
    for (;;) {
        const QByteArray dataLine = readChecked(s, store);
        if (dataLine == ".")
            break;
        const auto r = QByteArray::fromBase64Encoding(dataLine, QByteArray::AbortOnBase64DecodingErrors);
        if (dataLine.isEmpty() || !r || r.decoded.toBase64() != dataLine)
            fail(s, store, QStringLiteral("bad attachment data line [%1]").arg(shown(dataLine)));
        data += r.decoded;
    }
    s.sendLine(".");
    return {{QStringLiteral("mime"), QString::fromUtf8(mime)},
            {QStringLiteral("name"), QString::fromUtf8(rest.mid(comma + 1))},
            {QStringLiteral("base64"), QString::fromLatin1(data.toBase64())}};
}

// "$sms:<ms>,<from me>,<address>,<text>,<subject>,<attachments>" and the
// attachments it announces.
QVariantMap readMessage(Session& s, RestoreStore& store, const QByteArray& line)
{
    QList<QByteArray> f;
    qint64 ms = 0, fromMe = 0, count = 0;
    QString address, body, subject;
    if (!fieldsOf(line, "$sms:", 6, &f) || !decodeInt(f[0], &ms) || !decodeInt(f[1], &fromMe)
        || (fromMe != 0 && fromMe != 1) || !decodeText(f[2], &address) || !decodeText(f[3], &body)
        || !decodeText(f[4], &subject) || !decodeInt(f[5], &count) || count < 0 || count > kMaxAttachments)
        fail(s, store, QStringLiteral("bad message line [%1]").arg(shown(line)));
    QVariantList attachments;
    for (qint64 i = 0; i < count; ++i)
        attachments.append(readAttachment(s, store));
    return {{QStringLiteral("dateMs"), ms},       {QStringLiteral("type"), fromMe == 1 ? 2 : 1},
            {QStringLiteral("address"), address}, {QStringLiteral("body"), body},
            {QStringLiteral("subject"), subject}, {QStringLiteral("attachments"), attachments}};
}

} // namespace

void messageRestoreSession(Session& s, RestoreStore& store)
{
    const int defaultApp = s.fixture().section(QStringLiteral("defaultSmsApp")).toInt(0);
    s.sendLine("$defsmsapp:" + QByteArray::number(defaultApp));
    if (defaultApp != 0) {
        const QByteArray answer = readChecked(s, store);
        if (answer != "$defsmsapp:")
            fail(s, store, QStringLiteral("expected $defsmsapp:, got [%1]").arg(shown(answer)));
    }
    for (;;) {
        const QByteArray line = readChecked(s, store);
        if (line == "$bye:") {
            store.completed(s.service());
            return;
        }
        if (line != "$batch:")
            fail(s, store, QStringLiteral("expected $batch: or $bye:, got [%1]").arg(shown(line)));
        // A batch may be empty: the PC counts messages the phone holds
        // already without sending them.
        QList<QVariantMap> batch;
        for (;;) {
            const QByteArray record = readChecked(s, store);
            if (record == "$end:")
                break;
            if (batch.size() == kMaxBatch)
                fail(s, store, QStringLiteral("more than %1 messages in a batch").arg(kMaxBatch));
            batch.append(readMessage(s, store, record));
        }
        s.sendLine("$batch:");
        store.acknowledge(s.service(), batch);
    }
}

} // namespace phonesim
