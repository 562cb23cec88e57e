// A vCard message attachment drawn as a small contact-card picture (JPEG),
// cached in the private temporary folder by the attachment's path.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>

#include <atomic>

// What the card picture shows of one vCard; texts are the decoded property
// values, unsplit (ADR and ORG keep their ";").
struct VCardSummary {
    QByteArray photo;
    QString fullName;
    QString title;
    QString organization;
    QString birthday;
    QString email;
    QString address;
    QStringList phones;
};

// Where the card picture of the vCard file at vcardPath is kept, in the
// private temporary folder; the file may not exist.
QString vcardPicturePath(const QString& vcardPath);
// The path of the card picture of the vCard file at vcardPath, made on the
// first request (200 x 90) and served from the private temporary folder
// afterwards without reading the vCard again. Empty when the file cannot be
// read or holds no card, or when *stop was set (nothing is kept then).
// Throws nothing. It decodes the card's photo: never on the window's
// thread.
QString vcardToHtml(const QString& vcardPath, const std::atomic_bool* stop = nullptr);

// Draws the card: photo (or the placeholder) on the left, then name, title
// and organisation, birthday, up to four phones, e-mail and address. The
// layout metrics are fixed by the width of the first call in the process.
// The photo is read by the picture reader (JPEG or PNG within its bounds,
// upright); a null image when *stop was set.
QImage renderVCardImage(int width, int height, VCardSummary card, const std::atomic_bool* stop = nullptr);

// The summary of the first card of a vCard text; false when there is none.
bool readVCardSummary(const QByteArray& vcardText, VCardSummary* out);
