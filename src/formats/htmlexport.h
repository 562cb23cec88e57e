// Contacts as one XHTML page, one block per contact with its photo, name
// block and a titled list per kind of data, with the photos in a "photos"
// folder beside the page. Every value from a contact is HTML-escaped.
// The page is written beside its target and the photos are kept in memory
// until end(), so an export that fails or is cancelled before it ends leaves
// an earlier page and its photos as they were. Each photo is read by the
// picture reader as write() comes to it, the job's cancel heard meanwhile
// (checkCanceled, see pictures::madeHearing).
#pragma once

#include "formats/exportfile.h"
#include "records/absformatexport.h"
#include "records/contact.h"

#include <QByteArray>
#include <QDir>
#include <QList>
#include <QPair>
#include <QSet>
#include <QStringList>

#include <functional>

class HtmlExport : public AbsFormatExport<const pim::_Contact> {
public:
    // Creates the "photos" folder beside the page when it is missing.
    explicit HtmlExport(const QString& path, std::function<void()> checkCanceled = {});
    ~HtmlExport() override;

    void begin() override;
    void write(const pim::_Contact& contact) override;
    void end() override;

    // Drops the page being written and removes what this export created:
    // the photos it wrote, the placeholder when it put it there, and the
    // photos folder when it made it (and nothing else is in it). An earlier
    // page stays.
    void discardOutput();

private:
    void writeText(const QString& text);
    QString savePhoto(const pim::_Contact& contact);

    ExportFile m_file;
    QDir m_photosDir;
    bool m_madePhotosDir = false;
    QStringList m_createdFiles;
    QSet<QString> m_photoNames;
    QList<QPair<QString, QByteArray>> m_photos; // path, JPEG bytes: written by end()
    std::function<void()> m_checkCanceled;
};
