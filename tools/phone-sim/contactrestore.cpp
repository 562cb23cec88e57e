#include "contactrestore.h"

#include "contactbook.h"
#include "phonesim.h"
#include "restorelines.h"
#include "restoreservices.h"

#include <QSet>

namespace phonesim {

namespace {

// Contacts one batch may touch with "$ent:" lines.
constexpr int kMaxContacts = 20;

struct Line {
    bool deletion = false;
    bool ungroup = false; // id[1] is the contact to take out of its groups
    SimRow row;
    qint64 id[4] = {};
};

QList<Line> readBatch(Session& s, RestoreStore& store, const ContactBook& book)
{
    QList<Line> lines;
    QSet<QString> seen;
    QSet<qint64> contacts;
    int newContacts = 0;
    for (;;) {
        const QByteArray raw = s.readLine();
        if (raw == "$end:")
            return lines;
        Line line;
        QString why;
        if (raw.startsWith("$ungroup:")) {
            if (!restorelines::decodeInt(raw.mid(9), &line.id[1]) || line.id[1] < 0)
                restorelines::fail(s, store, QStringLiteral("bad $ungroup: line [%1]").arg(restorelines::shown(raw)));
            line.ungroup = true;
            line.row.id = QString::number(line.id[1]);
            contacts.insert(line.id[1]);
            if (newContacts + contacts.size() > kMaxContacts)
                restorelines::fail(s, store, QStringLiteral("more than %1 contacts in a batch").arg(kMaxContacts));
            lines.append(line);
            continue;
        }
        if (raw.startsWith("$ent:")) {
            if (!checkEnt(raw.mid(5), &line.row, &why))
                restorelines::fail(s, store,
                                   QStringLiteral("bad $ent: line (%1) [%2]").arg(why, restorelines::shown(raw)));
        } else if (raw.startsWith("$del:")) {
            line.deletion = true;
            line.row.id = QString::fromLatin1(raw.mid(5));
        } else {
            restorelines::fail(
                s, store,
                QStringLiteral("expected $ent:, $del:, $ungroup: or $end:, got [%1]").arg(restorelines::shown(raw)));
        }
        if (!splitQuad(line.row.id, line.id) || line.id[0] < 1 || line.id[0] > 13)
            restorelines::fail(s, store, QStringLiteral("bad id quadruple [%1]").arg(restorelines::shown(raw)));
        if (seen.contains(line.row.id))
            restorelines::fail(s, store, QStringLiteral("row %1 twice in one batch").arg(line.row.id));
        seen.insert(line.row.id);
        if (!line.deletion) {
            const bool isNew = line.id[3] < 0;
            if (isNew && line.id[0] == 1)
                ++newContacts;
            else
                contacts.insert(line.id[1]);
            if (isNew && line.id[0] != 1 && !book.hasContact(line.id[1]))
                restorelines::fail(s, store,
                                   QStringLiteral("new row %1 for a contact the phone does not have").arg(line.row.id));
            if (!isNew && !book.hasRow(line.row.id))
                restorelines::fail(s, store, QStringLiteral("row %1 is not on the phone").arg(line.row.id));
            if (newContacts + contacts.size() > kMaxContacts)
                restorelines::fail(s, store, QStringLiteral("more than %1 contacts in a batch").arg(kMaxContacts));
        }
        lines.append(line);
    }
}

QVariantMap record(const Line& line, const QString& newId)
{
    QVariantMap r = line.row.columns;
    r.insert(QStringLiteral("command"),
             line.ungroup        ? QStringLiteral("ungroup")
                 : line.deletion ? QStringLiteral("del")
                                 : QStringLiteral("ent"));
    r.insert(QStringLiteral("id"), line.row.id);
    r.insert(QStringLiteral("newId"), newId);
    return r;
}

} // namespace

void contactsRestoreSession(Session& s, RestoreStore& store)
{
    ContactBook& book = s.contactBook();
    restorelines::runBatches(s, store, [&] {
        const QList<Line> batch = readBatch(s, store, book);
        // The phone keeps what it made, whether or not its answer arrives.
        QList<QByteArray> pairs;
        QList<QVariantMap> records;
        for (const Line& l : batch) {
            QString newId;
            if (l.ungroup)
                book.removeGroups(l.id[1]);
            else if (l.deletion)
                book.remove(l.row.id);
            else if (l.id[3] >= 0)
                book.updateRow(l.row);
            else if (l.id[0] == 1)
                newId = book.addContact(l.row);
            else
                book.addRow(l.id[1], l.row, &newId);
            if (!newId.isEmpty())
                pairs.append(l.row.id.toLatin1() + "=>" + newId.toLatin1());
            records.append(record(l, newId));
        }
        s.sendLine("$batch:" + pairs.join(';'));
        store.acknowledge(s.service(), records);
    });
}

} // namespace phonesim
