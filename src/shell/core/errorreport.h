// The product's name and version, the maker's web service address, and the
// error report sent to it. No widgets.
//
// The web service is off unless APP_WEB_SERVICE_URL names its base URL
// (e.g. "http://127.0.0.1:8080" or "https://example.com/service"); with it
// empty nothing leaves the machine.
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

namespace appinfo {

inline constexpr char kVersionText[] = "3.1.28";
inline constexpr int kBuildNumber = 28;

// The product name through the "QObject" translation context.
QString productName();
QString versionText();
// "3.1.28(28)", the version field of the error report.
QString reportVersionField();
// The configured base URL of the maker's web service; invalid when off.
QUrl webServiceUrl();
// The address of a page or script of the web service: path (from its "/")
// after the base's own path, so that a service in a folder of its host
// ("http://host/base") keeps it, and query after the base's own query. The
// base's fragment is left out. Invalid for an invalid base.
QUrl serviceUrl(const QUrl& base, const QString& path, const QString& query = QString());
// serviceUrl on the configured base; invalid when the service is off.
QUrl webServicePage(const QString& path, const QString& query = QString());

} // namespace appinfo

namespace errorreport {

// How long a report may take before it is given up.
inline constexpr int kTimeoutMs = 10000;

// Base64 of the UTF-8 bytes with "/" -> "!" and "=" -> "-".
QString encodeReportField(const QString& text);
// Line-break tags become CR LF, then "<" and ">" are escaped.
QString cleanErrorText(const QString& err);
// "prod=...&ver=...&err=..." as UTF-8.
QByteArray buildReportBody(const QString& err);

// Starts the report (POST <base>/err_report.php) and returns at once. Nothing
// is sent when the web service is off. The request is given up after
// kTimeoutMs; its reply is ignored. Returns false when nothing was started.
// GUI (or any event-loop) thread.
bool sendErrorReport(const QString& err);

// For tests: sends to an explicit base URL through the given manager (null:
// a private one). The reply object is returned so a test can wait for it.
QNetworkReply* sendErrorReportTo(const QUrl& base, const QString& err, QNetworkAccessManager* manager = nullptr,
                                 int timeoutMs = kTimeoutMs);

} // namespace errorreport
