// Contacts as one XHTML page, one block per contact with its photo, name
// block and a titled list per kind of data, with the photos in a "photos"
// folder beside the page. Every value from a contact is HTML-escaped.
#pragma once

#include "records/absformatexport.h"
#include "records/contact.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QStringList>

class HtmlExport : public AbsFormatExport<const pim::_Contact> {
public:
    // Creates the "photos" folder beside the page when it is missing.
    explicit HtmlExport(const QString& path);
    ~HtmlExport() override;

    void begin() override;
    void write(const pim::_Contact& contact) override;
    void end() override;

    // Closes the page and removes what this export created: the page, the
    // photos it wrote, the placeholder when it put it there, and the photos
    // folder when it made it (and nothing else is in it).
    void discardOutput();

private:
    void writeText(const QString& text);
    QString savePhoto(const pim::_Contact& contact);

    QFile m_file;
    QDir m_photosDir;
    bool m_madePhotosDir = false;
    bool m_openedPage = false;
    QStringList m_createdFiles;
    QSet<QString> m_photoNames;
};
