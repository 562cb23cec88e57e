#include "formats/htmlexport.h"

#include "formats/contactcardpainter.h"
#include "formats/contactphoto.h"
#include "formats/contactrowformat.h"
#include "pictures/picturereader.h"
#include "shell/core/errorreport.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>

namespace {

QString col(const ContactDataRow& row, int n)
{
    return pim::valueText(row.values, QStringLiteral("data%1").arg(n));
}

QString esc(const QString& text)
{
    return text.toHtmlEscaped();
}

} // namespace

HtmlExport::HtmlExport(const QString& path, std::function<void()> checkCanceled)
    : m_file(path)
    , m_checkCanceled(std::move(checkCanceled))
{
    m_photosDir = QDir(QFileInfo(path).absoluteDir().absoluteFilePath(QStringLiteral("photos")));
    if (!m_photosDir.exists())
        m_madePhotosDir = QDir().mkpath(m_photosDir.absolutePath());
}

HtmlExport::~HtmlExport() = default;

void HtmlExport::begin()
{
    if (!m_file.open())
        failExport("create file error.", m_file.errorString());
    QString head;
    head += QStringLiteral("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
                           "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\r\n");
    head += QStringLiteral("<html xmlns=\"http://www.w3.org/1999/xhtml\">\r\n");
    head += QStringLiteral("<head>\r\n");
    head += QStringLiteral("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\" />\r\n");
    head += QStringLiteral("<title>%1</title>\r\n").arg(esc(appinfo::productName()));
    head += QStringLiteral("<style type=\"text/css\">\r\n");
    head += QStringLiteral(".photo{float:left;margin:5px;border:1px solid #A9A9A9;}\r\n");
    head += QStringLiteral(".ct_name{font-size:24px;font-weight:bold;font-style:italic;margin-bottom:20px;}\r\n");
    head += QStringLiteral(".ent_group{padding:0;margin:0;font-size:20px; font-weight:bold; font-style:italic}\r\n");
    head += QStringLiteral(".ent_list{margin:0; padding:0; list-style:none; font-size:18px}\r\n");
    head += QStringLiteral("</style></head>\r\n");
    head += QStringLiteral("<body style=\"background-color:#F1F5FB\">\r\n");

    const QString placeholder = m_photosDir.absoluteFilePath(QStringLiteral("contact.png"));
    if (!QFileInfo::exists(placeholder) && QFile::copy(QStringLiteral(":/res/empty_contact.png"), placeholder)) {
        QFile::setPermissions(placeholder, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
        m_createdFiles.append(placeholder);
    }
    writeText(head);
}

QString HtmlExport::savePhoto(const pim::_Contact& contact)
{
    const QByteArray bytes = contactphoto::bytes(contact);
    if (bytes.isEmpty())
        return QString();
    const QImage image = pictures::madeHearing(
        [&bytes](const std::atomic_bool& stop) { return contactphoto::read(bytes, &stop); }, m_checkCanceled);
    if (image.isNull())
        return QString();
    // Contacts not stored yet all have id 0: each photo gets a name of its own.
    QString name = QStringLiteral("%1.jpg").arg(contact.id);
    for (int n = 1; m_photoNames.contains(name); ++n)
        name = QStringLiteral("%1_%2.jpg").arg(contact.id).arg(n);
    m_photoNames.insert(name);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    if (image.save(&buffer, "JPEG"))
        m_photos.append({m_photosDir.absoluteFilePath(name), jpeg});
    return name;
}

void HtmlExport::write(const pim::_Contact& contact)
{
    QString block = QStringLiteral("<div style=\"margin-bottom:50px;\">\r\n");
    const QString photo = savePhoto(contact);
    if (!photo.isEmpty())
        block += QStringLiteral("<img class=\"photo\" src=\"photos/%1\" width=\"128\" />\r\n").arg(esc(photo));
    else
        block += QStringLiteral("<img class=\"photo\" src=\"photos/contact.png\" width=\"128\" />\r\n");

    QString name = esc(contact.fullName);
    const QList<ContactDataRow> nicknames = contact.rows(pim::ENTITY_NICKNAME);
    if (!nicknames.isEmpty() && !col(nicknames.first(), 1).isEmpty())
        name += QStringLiteral("<br/>\"%1\"").arg(esc(col(nicknames.first(), 1)));
    const QList<ContactDataRow> orgs = contact.rows(pim::ENTITY_ORGANIZATION);
    if (!orgs.isEmpty()) {
        const ContactDataRow& org = orgs.first();
        if (!col(org, 4).isEmpty())
            name += QStringLiteral("<br/>") + esc(col(org, 4));
        if (!col(org, 5).isEmpty())
            name += QStringLiteral(" - ") + esc(col(org, 5));
        if (!col(org, 1).isEmpty())
            name += QStringLiteral("<br/>") + esc(col(org, 1));
    }
    block += QStringLiteral("<div class=\"ct_name\">\r\n") + name
        + QStringLiteral("\r\n</div><div style=\"clear:both\"></div>\r\n");

    struct Section {
        const char* title;
        int type;
        ContactRowFormat::RowFormatter format;
    };
    static const Section sections[] = {
        {"Phone:", pim::ENTITY_PHONE, &ContactRowFormat::formatPhone},
        {"E-Mail:", pim::ENTITY_EMAIL, &ContactRowFormat::formatEmail},
        {"Date:", pim::ENTITY_EVENT, &ContactRowFormat::formatEvent},
        {"IM:", pim::ENTITY_IM, &ContactRowFormat::formatIM},
        {"Organization:", pim::ENTITY_ORGANIZATION, &ContactRowFormat::formatOrganization},
        {"Relationship:", pim::ENTITY_RELATION, &ContactRowFormat::formatRelation},
        {"Address:", pim::ENTITY_POSTAL, &ContactRowFormat::formatAddress},
        {"Website:", pim::ENTITY_WEBSITE, &ContactRowFormat::formatWebsite},
        {"Notes:", pim::ENTITY_NOTE, &ContactRowFormat::formatValue},
    };
    for (const Section& s : sections) {
        QList<ContactDataRow> rows = contact.rows(s.type);
        if (s.type == pim::ENTITY_ORGANIZATION) {
            // The first organisation is in the name block.
            if (rows.size() < 2)
                continue;
            rows.removeFirst();
        }
        if (rows.isEmpty())
            continue;
        block += QStringLiteral("<div style=\"margin-bottom:20px;\">\r\n<h2 class=\"ent_group\">")
            + QLatin1String(s.title) + QStringLiteral("</h2>\r\n<ul class=\"ent_list\">\r\n");
        for (const ContactDataRow& row : std::as_const(rows))
            block += QStringLiteral("<li>%1</li>\r\n").arg(s.format(ContactRowFormat::escapedRow(row)));
        block += QStringLiteral("</ul>\r\n</div>\r\n");
    }
    block += QStringLiteral("</div>\r\n");
    writeText(block);
}

void HtmlExport::end()
{
    if (!m_file.isOpen())
        return;
    writeText(QStringLiteral("</body></html>"));
    // Each photo takes its name only when complete; the page comes last.
    for (const auto& [path, jpeg] : std::as_const(m_photos)) {
        const bool existed = QFileInfo::exists(path);
        ExportFile photo(path);
        if (!photo.open())
            failExport("create file error.", photo.errorString());
        if (!photo.write(jpeg) || !photo.commit())
            failExport("write file error.", photo.errorString());
        if (!existed)
            m_createdFiles.append(path);
    }
    m_photos.clear();
    if (!m_file.commit())
        failExport("write file error.", m_file.errorString());
}

void HtmlExport::discardOutput()
{
    m_file.discard();
    m_photos.clear();
    for (const QString& f : std::as_const(m_createdFiles))
        QFile::remove(f);
    m_createdFiles.clear();
    if (m_madePhotosDir)
        QDir().rmdir(m_photosDir.absolutePath()); // only when empty
}

void HtmlExport::writeText(const QString& text)
{
    if (!m_file.write(text.toUtf8()))
        failExport("write file error.", m_file.errorString());
}
