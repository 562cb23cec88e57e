#include "itemmodelvoicemail.h"

#include "views/common/listrowstyle.h"

#include <QLocale>

ItemModelVoicemail::ItemModelVoicemail(QObject* parent)
    : RecordListModel(parent)
{
}

void ItemModelVoicemail::setVoicemails(const QList<VoicemailRecord>& voicemails)
{
    resetRecords<_VoicemailItemNode>(voicemails);
}

int ItemModelVoicemail::columnCount(const QModelIndex&) const
{
    return 4;
}

QVariant ItemModelVoicemail::data(const QModelIndex& index, int role) const
{
    const VoicemailRecord* voicemail = recordAt(index);
    if (!voicemail)
        return QVariant();
    const VoicemailRecord& v = *voicemail;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        switch (index.column()) {
        case 0:
            return v.name;
        case 1:
            return QLocale::system().toString(v.date, QLocale::ShortFormat);
        case 2:
            return v.sender;
        case 3:
            return QStringLiteral("%1 s").arg(v.duration);
        default:
            return QVariant();
        }
    case Qt::DecorationRole:
        return index.column() == 0 ? QVariant(listrowstyle::fileIcon()) : QVariant();
    default:
        return listrowstyle::rowData(index, role);
    }
}

QVariant ItemModelVoicemail::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char* const titles[] = {"Name", "Date", "Sender", "Duration"};
    return listrowstyle::header(titles, section, orientation, role);
}
