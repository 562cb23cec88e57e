// The form of the contact editor dialog: the photo, the five name fields,
// nickname, organisation, the row editors of the multi-row data (phones,
// e-mails, events, instant messaging, relations, addresses, websites) and
// the notes. Filled once from a contact; on request it gives back what it
// shows as contact data rows that keep the local id and source id of the
// stored rows they came from (0 and empty for rows made here). It writes
// nothing to any database.
//
// The form shows the first name, photo, nickname, organisation and note row
// of a contact and every row of the multi-row types; other rows (groups,
// the second photo, ...) are not shown and not collected.
//
// The photo is made off the window's thread by the editor's PictureLoader
// (the empty contact picture shows until then, and for bytes that are no
// picture within the reader's bounds); a photo file the user picks is read
// under a progress dialog that can cancel it.
#pragma once

#include "records/contact.h"

#include <QMap>
#include <QScrollArea>

#include <memory>

class AbsEntitiesEditor;
class AddrEntitiesEditor;
class DateEntitiesEditor;
class GenericEntitiesEditor;
class IMEntitiesEditor;
class PictureLoader;
namespace Ui {
class ContactEditor;
}

class ContactEditor : public QScrollArea {
    Q_OBJECT

public:
    explicit ContactEditor(QWidget* parent = nullptr);
    ~ContactEditor() override;

    // Fills the form (once, right after construction).
    void setContact(const pim::_Contact& contact);

    // The collectors. Each row carries only the columns the form shows.
    // The name row: the five parts trimmed, "data1" the formatted name.
    ContactDataRow getStructuredName() const;
    // The photo row ("data15" bytes, "data4" their hash); only meaningful
    // when hasPhoto().
    ContactDataRow getPhoto() const;
    bool hasPhoto() const { return !m_photo.isEmpty(); }
    ContactDataRow getNickname() const;
    ContactDataRow getOrganization() const;
    ContactDataRow getNote() const;
    // Every row the form holds except the name, by type: the photo when
    // there is one; one nickname, organisation and note row, blank or not;
    // every row of each row editor, top to bottom, blank ones included.
    QMap<int, QList<ContactDataRow>> collectRows() const;

    QString firstName() const;
    QString lastName() const;
    const QByteArray& photoBytes() const { return m_photo; }
    // Shows the bytes (kept unchanged even when they are no picture).
    void setPhotoData(const QByteArray& bytes);
    // Makes the photo shown; goes with the editor.
    PictureLoader* photoLoader() const { return m_photos; }

    // The row editor of a multi-row type; null for other types.
    AbsEntitiesEditor* rowEditor(int type) const;

public slots:
    // Drops the photo; the label shows the empty-contact picture.
    void resetPhoto(const QString& link = QString());

protected:
    // A left press on the photo picks a new one (any press is consumed).
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Identity of the stored row that filled a single-row part.
    struct Identity {
        qint64 id = 0;
        QString srcId;
    };

    static Identity identityOf(const pim::_Contact& contact, int type);
    void pickPhoto();
    // Shows the photo made for key when it is the one held.
    void photoReady(const QString& key);

    std::unique_ptr<Ui::ContactEditor> form;
    GenericEntitiesEditor* phones = nullptr;
    GenericEntitiesEditor* emails = nullptr;
    DateEntitiesEditor* events = nullptr;
    IMEntitiesEditor* ims = nullptr;
    GenericEntitiesEditor* relations = nullptr;
    AddrEntitiesEditor* addresses = nullptr;
    GenericEntitiesEditor* websites = nullptr;
    Identity m_name;
    Identity m_photoId;
    Identity m_nickname;
    Identity m_organization;
    Identity m_note;
    QByteArray m_photo;
    PictureLoader* m_photos = nullptr;
    QString m_photoKey; // of m_photo as shown
};
