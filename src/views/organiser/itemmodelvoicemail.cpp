#include "itemmodelvoicemail.h"

#include <QLocale>

namespace {

constexpr ItemModelVoicemail::Column kColumns[] = {
    {"Name", [](const VoicemailRecord& v) { return v.name; }},
    {"Date", [](const VoicemailRecord& v) { return QLocale::system().toString(v.date, QLocale::ShortFormat); }},
    {"Sender", [](const VoicemailRecord& v) { return v.sender; }},
    {"Duration", [](const VoicemailRecord& v) { return QStringLiteral("%1 s").arg(v.duration); }},
};

} // namespace

ItemModelVoicemail::ItemModelVoicemail(QObject* parent)
    : RecordListModel(kColumns, parent)
{
}

void ItemModelVoicemail::setVoicemails(const QList<VoicemailRecord>& voicemails)
{
    resetRecords<_VoicemailItemNode>(voicemails);
}
