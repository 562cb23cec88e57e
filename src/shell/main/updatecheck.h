// The update check's rules: when a check is due, what the web service's
// answer means, and the addresses asked. No widgets, no network.
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

namespace updatecheck {

// At most one check a day.
inline constexpr qint64 kCheckIntervalSeconds = 86400;
// An answer is a download address or a short word; more is not read.
inline constexpr qint64 kMaxReplyBytes = 4096;
inline constexpr int kRequestTimeoutMs = 15000;

enum class Reply {
    Ignored, // not status 200: nothing happens, the stamp stays
    Current, // this version is current: the stamp is rewritten
    NewVersion, // the body is the download address
};

// The stamp file: "last-check-version-time" in the data root.
QString stampPath();

// True unless the stamp names a time at most a day before now. A missing,
// unreadable, empty, zero or non-numeric stamp, and a stamp in the future,
// make a check due (the difference is taken as an unsigned 32-bit value).
bool isCheckDue(const QString& stampPath, qint64 now);
// Writes now as decimal digits; failures are ignored.
void writeStamp(const QString& stampPath, qint64 now);

Reply classify(int httpStatus, const QByteArray& body);
// The download address of a NewVersion body (surrounding white space
// removed).
QString downloadAddress(const QByteArray& body);

// GET <base>/sms_check_update.php?pid=<product id>&ver=<build>&q=1
QUrl checkUrl(const QUrl& base);
// The update page the menu command opens.
QUrl updatePageUrl(const QUrl& base);

} // namespace updatecheck
