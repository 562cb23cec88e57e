#include "phonelink/androidloadcontactsthread.h"

#include "phonelink/protocol/contactcodec.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "records/contact.h"
#include "records/localcontactsdb.h"

#include <QDebug>
#include <QHash>

AndroidLoadContactsThread::AndroidLoadContactsThread(LocalContactsDb* cacheDb, AndroidDeviceInfo* device,
                                                     JobReport* progress, QObject* parent)
    : AndroidLoadThread(device, cacheDb, progress, parent)
    , m_db(cacheDb)
{
}

void AndroidLoadContactsThread::load()
{
    openService(QStringLiteral("contacts"));
    for (const char* header : {"$version:", "$device:", "$uid:"})
        simpleprotocol::expectCommand(socket, QString::fromLatin1(header), -1);
    const qint64 total = readCount();
    beginTran();
    qint64 done = 0;

    // The phone's contact key to the local contact id, for one batch.
    QHash<qint64, qint64> contactIds;

    BatchRules rules;
    rules.recordCommands = {QStringLiteral("$ent:")};
    rules.topError = [](const QString& line) {
        return QStringLiteral("invalid command ") + line + QStringLiteral(", must follow $end,$batch");
    };
    rules.batchError = [](const QString& line) {
        return QStringLiteral("invalid command ") + line + QStringLiteral(", must follow $end,$ent");
    };
    rules.cancelBeforeEveryRead = true;
    rules.onBatchStart = [&] { contactIds.clear(); };
    rules.onBatchAcknowledged = [&] { contactIds.clear(); };
    readBatches(rules, [&](const QString& command, const QString& rest) {
        const QStringList f = rest.split(QLatin1Char(','));
        int type = 0;
        qint64 key = 0;
        if (!simpleprotocol::parseId(f.at(0), &type, &key, nullptr, nullptr))
            fail(true, QStringLiteral("invalid $ent:, %1").arg(command + rest));

        pim::ContactDataRow row(0, f.at(0));
        simpleprotocol::decodeContact(f, type, row.values);
        if (type == pim::ENTITY_NAME) {
            pim::_Contact contact(0, f.at(0), pim::formatName(row.values));
            m_db->insertContact(contact);
            contactIds.insert(key, contact.id);
            ++done;
            postRecordProgress(done, total, tr("Contacts: %1/%2").arg(done).arg(total));
        } else if (type == pim::ENTITY_GROUP) {
            const QString group = row.values.value(QStringLiteral("data2")).toString();
            if (!group.isEmpty())
                row.values.insert(QStringLiteral("data1"), QVariant(quint64(m_db->getOrCreateGroup(group))));
        }
        const qint64 contactId = contactIds.value(key, 0);
        if (contactId == 0) {
            ++m_orphans;
            qDebug("AndroidLoadContactsThread: row %s has no contact in its batch, dropped", qUtf8Printable(f.at(0)));
            return;
        }
        m_db->insertData(contactId, type, row);
    });
    finish();
}
