// The read-only card of one contact beside the contact list: a header with
// the photo, the name, the nickname and the first organisation, then one
// titled section per kind of data, one line per row (the lines come from
// ContactRowFormat). Texts can be selected with the mouse; a left click on
// a real photo saves its bytes to a file. The photo is made off the
// window's thread by the card's PictureLoader: the empty contact picture
// shows until it is made (and for bytes that are no picture within the
// reader's bounds).
//
// Everything on the card comes from a phone or a file: it is shown as plain
// text. The one line that needs markup (an address, with its bold label and
// line breaks) is built from escaped values, so no value ever becomes markup
// or a link.
#pragma once

#include "formats/contactrowformat.h"
#include "records/contact.h"

#include <QPointer>
#include <QScrollArea>

class PictureLoader;
class QLabel;
class QVBoxLayout;

class ContactDisplayer : public QScrollArea {
    Q_OBJECT

public:
    explicit ContactDisplayer(QWidget* parent = nullptr);
    ~ContactDisplayer() override;

    // Empties the card.
    void clear();
    // Shows the contact (a copy is kept), replacing what was shown.
    void setContact(const pim::_Contact& contact);
    // The contact on show; an empty contact while the card is empty.
    const pim::_Contact& contact() const { return shownContact; }
    // Makes the photos; goes with the card.
    PictureLoader* photoLoader() const { return m_photos; }

protected:
    // A click on the photo (see the class comment).
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Hands the shown content to deferred deletion (it may be the sender of
    // the event being handled) and installs content.
    void replaceContent(QWidget* newContent);
    void addHeader(const pim::_Contact& contact);
    void addSection(const QString& title, const QList<ContactDataRow>& rows, ContactRowFormat::RowFormatter format,
                    bool markup = false);
    // A selectable, wrapping label inside parent.
    static QLabel* textLabel(const QString& text, Qt::TextFormat format, QWidget* parent);
    void savePhoto();
    // Shows the photo made for key when it is the shown contact's.
    void photoReady(const QString& key);
    void showPhoto(const QImage& image);

    pim::_Contact shownContact;
    QVBoxLayout* contentLayout = nullptr; // of the content being built
    PictureLoader* m_photos = nullptr;
    QString m_photoKey; // of the shown contact's photo; empty without one
    QPointer<QLabel> m_photoLabel;
};
