#include "formats/messagetextexport.h"

#include "shell/core/fileutils.h"

#include <QLocale>
#include <QRegularExpression>

#include <algorithm>

namespace {

// The chat's first handle by rowid, so the choice is the same on every load.
const _MsgHandle* firstHandle(const _MsgChat* chat)
{
    const _MsgHandle* first = nullptr;
    for (const _MsgHandle* h : chat->handles) {
        if (h && (!first || h->ROWID < first->ROWID))
            first = h;
    }
    return first;
}

// A cell that a spreadsheet would run as a formula starts with "=", "+",
// "-" or "@" (or with a tab or carriage return, which some spreadsheets skip
// before they look): it gets a leading apostrophe, which makes it text. A
// phone number stays as the phone gave it: "+" followed only by digits,
// blanks and ( ) - . / with at least one digit can call no function and
// reach no other cell or program.
QString spreadsheetText(const QString& cell)
{
    static const QRegularExpression phoneNumber(QStringLiteral("^\\+[-0-9 ()./]*[0-9][-0-9 ()./]*$"));
    if (cell.isEmpty())
        return cell;
    switch (cell.front().unicode()) {
    case u'=':
    case u'+':
    case u'-':
    case u'@':
    case u'\t':
    case u'\r':
        break;
    default:
        return cell;
    }
    if (phoneNumber.match(cell).hasMatch())
        return cell;
    return QLatin1Char('\'') + cell;
}

} // namespace

ExportMessagesText::ExportMessagesText(const QString& path)
    : m_file(path)
{
}

ExportMessagesText::~ExportMessagesText() = default;

void ExportMessagesText::begin()
{
    if (!m_file.open())
        failExport("create file error.", m_file.errorString());
    writeLine(headerLine());
}

void ExportMessagesText::writeLine(const QString& line)
{
    QString text = line;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    text += QLatin1String("\r\n");
    const QByteArray bytes = text.toUtf8();
    if (!m_file.write(bytes))
        failExport("write file error.", m_file.errorString());
}

void ExportMessagesText::end()
{
    if (m_file.isOpen() && !m_file.commit())
        failExport("write file error.", m_file.errorString());
}

// ----------------------------------------------------------------------- CSV

ExportMessagesCsv::ExportMessagesCsv(const QString& path)
    : ExportMessagesText(path)
{
}

QString ExportMessagesCsv::headerLine() const
{
    return QStringLiteral("date,send,person,number,content");
}

void ExportMessagesCsv::write(const _MsgMessage& msg)
{
    QString person, number;
    if (msg.chat) {
        if (isGroupChat(msg.chat)) {
            person = number = msg.chat->chat_identifier;
        } else if (const _MsgHandle* h = firstHandle(msg.chat)) {
            person = h->_ct_name;
            number = h->id;
        }
    }
    const QString date = dateFromIosTime(msg.date).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    const QStringList fields {date, msg.is_from_me != 0 ? QStringLiteral("1") : QStringLiteral("0"),
                              csvQuote(spreadsheetText(person)), csvQuote(spreadsheetText(number)),
                              csvQuote(spreadsheetText(getMsgPlainText(&msg)))};
    writeLine(fields.join(QLatin1Char(',')));
}

// ----------------------------------------------------------------------- TXT

ExportMessagesTxt::ExportMessagesTxt(const QString& path)
    : ExportMessagesText(path)
{
}

QString ExportMessagesTxt::headerLine() const
{
    return QStringLiteral("Date").leftJustified(30) + QStringLiteral("Flag").leftJustified(6)
        + QStringLiteral("Name").leftJustified(40) + QStringLiteral("Message");
}

void ExportMessagesTxt::write(const _MsgMessage& msg)
{
    const QString date = QLocale::system().toString(dateFromIosTime(msg.date), QLocale::ShortFormat);
    QString flag;
    if (msg.item_type == 0)
        flag = msg.is_from_me != 0 ? QStringLiteral("To") : QStringLiteral("From");
    const QString name = msg.chat ? getChatTitle(msg.chat, false) : QStringLiteral("Unknown");
    QString text = getMsgPlainText(&msg);
    text.remove(QLatin1Char('\r'));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    // The name is one line too: a title with line breaks would break the table.
    QString oneLineName = name;
    oneLineName.remove(QLatin1Char('\r'));
    oneLineName.replace(QLatin1Char('\n'), QLatin1Char(' '));
    writeLine(date.leftJustified(30) + flag.leftJustified(6) + oneLineName.leftJustified(40) + text);
}
