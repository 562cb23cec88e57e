#include "errorreport.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>

namespace appinfo {

QString productName()
{
    return QCoreApplication::translate("QObject", "Quillharbor Handset Ferry");
}

QString versionText()
{
    return QString::fromLatin1(kVersionText);
}

QString reportVersionField()
{
    return QStringLiteral("%1(%2)").arg(versionText()).arg(kBuildNumber);
}

QUrl webServiceUrl()
{
    const QString base = qEnvironmentVariable("APP_WEB_SERVICE_URL").trimmed();
    if (base.isEmpty())
        return QUrl();
    const QUrl url(base, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty()
        || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
        return QUrl();
    return url;
}

QUrl serviceUrl(const QUrl& base, const QString& path, const QString& query)
{
    if (!base.isValid())
        return QUrl();
    QUrl url(base);
    // Encoded both ways, so that an escaped character of the base's path
    // ("%2F") stays what it was.
    QString basePath = base.path(QUrl::FullyEncoded);
    while (basePath.endsWith(QLatin1Char('/')))
        basePath.chop(1);
    url.setPath(basePath + path, QUrl::TolerantMode);
    const QString baseQuery = base.query(QUrl::FullyEncoded);
    if (!query.isEmpty())
        url.setQuery(baseQuery.isEmpty() ? query : baseQuery + QLatin1Char('&') + query, QUrl::TolerantMode);
    url.setFragment(QString());
    return url;
}

QUrl webServicePage(const QString& path, const QString& query)
{
    return serviceUrl(webServiceUrl(), path, query);
}

} // namespace appinfo

namespace errorreport {

QString encodeReportField(const QString& text)
{
    QString encoded = QString::fromLatin1(text.toUtf8().toBase64());
    encoded.replace(QLatin1Char('/'), QLatin1Char('!'));
    encoded.replace(QLatin1Char('='), QLatin1Char('-'));
    return encoded;
}

QString cleanErrorText(const QString& err)
{
    static const QRegularExpression lineBreak(QStringLiteral("< *br */?>"), QRegularExpression::CaseInsensitiveOption);
    QString text = err;
    text.replace(lineBreak, QStringLiteral("\r\n"));
    text.replace(QLatin1Char('<'), QStringLiteral("&lt;"));
    text.replace(QLatin1Char('>'), QStringLiteral("&gt;"));
    return text;
}

QByteArray buildReportBody(const QString& err)
{
    const QString body = QStringLiteral("prod=") + encodeReportField(appinfo::productName()) + QStringLiteral("&ver=")
        + encodeReportField(appinfo::reportVersionField()) + QStringLiteral("&err=")
        + encodeReportField(cleanErrorText(err));
    return body.toUtf8();
}

QNetworkReply* sendErrorReportTo(const QUrl& base, const QString& err, QNetworkAccessManager* manager, int timeoutMs)
{
    if (!base.isValid() || base.host().isEmpty())
        return nullptr;
    const QUrl url = appinfo::serviceUrl(base, QStringLiteral("/err_report.php"));

    QNetworkAccessManager* nam = manager;
    if (!nam) {
        nam = new QNetworkAccessManager();
        const QHostAddress host(url.host());
        if (host.isLoopback() || url.host() == QLatin1String("localhost"))
            nam->setProxy(QNetworkProxy::NoProxy);
    }
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/x-www-form-urlencoded"));
    request.setTransferTimeout(timeoutMs > 0 ? timeoutMs : kTimeoutMs);
    QNetworkReply* reply = nam->post(request, buildReportBody(err));
    const bool ownsManager = !manager;
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, nam, ownsManager] {
        reply->deleteLater();
        if (ownsManager)
            nam->deleteLater();
    });
    return reply;
}

bool sendErrorReport(const QString& err)
{
    const QUrl base = appinfo::webServiceUrl();
    if (!base.isValid())
        return false;
    return sendErrorReportTo(base, err) != nullptr;
}

} // namespace errorreport
