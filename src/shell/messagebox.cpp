#include "messagebox.h"

#include "shell/core/errorreport.h"
#include "shell/uiprompt.h"
#include "shell/winmovable.h"

#include <QFile>
#include <QMessageBox>
#include <QMutex>
#include <QMutexLocker>
#include <QRegularExpression>

namespace {

// Longer texts are cut: a box taller than the screen helps nobody and a
// multi-megabyte label takes seconds to lay out.
constexpr int kMaxBoxText = 4000;

QString boxText(const QString& text)
{
    if (text.size() <= kMaxBoxText)
        return text;
    return text.left(kMaxBoxText) + QStringLiteral("\u2026");
}

} // namespace

QMessageBox* createMessageBox(int icon, const QString& text, int buttons)
{
    auto* box = new QMessageBox(QMessageBox::Icon(icon), appinfo::productName(), boxText(text), QMessageBox::NoButton,
                                nullptr);
    auto* movable = new WinMovable(box);
    movable->setParent(box); // dies with the box
    box->setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    box->setStyleSheet(getStyleSheet());
    static const QMessageBox::StandardButton order[]
        = {QMessageBox::Yes, QMessageBox::No, QMessageBox::Ok, QMessageBox::Cancel};
    for (auto b : order)
        if (buttons & b)
            box->addButton(b);
    return box;
}

int showMessageBox(int icon, const QString& text, int buttons)
{
    return UiPrompt::current()->messageBox(icon, text, buttons);
}

namespace {

// Error texts are plain text (often carrying a phone's message or a file
// name) whose line breaks are written as <br/>: everything else shows as text.
QString errorTextToHtml(const QString& err)
{
    static const QRegularExpression lineBreak(QStringLiteral("&lt;br\\s*/?&gt;"),
                                              QRegularExpression::CaseInsensitiveOption);
    QString html = err.toHtmlEscaped();
    html.replace(lineBreak, QStringLiteral("<br/>"));
    return html;
}

} // namespace

void showError(const QString& err)
{
    const QString message = QStringLiteral("<nobr><b>") + getAppTitle() + QStringLiteral("</b></nobr><br/><br/>")
        + QStringLiteral("An Error Occurred. <br/><br/>%1<br/><br/> Or you can contact ").arg(errorTextToHtml(err))
        + supportEmail() + QStringLiteral(" for help.");
    showMessageBox(QMessageBox::Critical, message, QMessageBox::Ok);
    errorreport::sendErrorReport(err);
}

void showInfo(const QString& text)
{
    showMessageBox(QMessageBox::Information, text, QMessageBox::Ok);
}

void showWarning(const QString& text)
{
    showMessageBox(QMessageBox::Warning, text, QMessageBox::Ok);
}

bool askYesNo(const QString& text)
{
    return showMessageBox(QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

QString getStyleSheet()
{
    static QMutex mutex;
    static QString cached;
    QMutexLocker lock(&mutex);
    if (cached.isEmpty()) {
        QFile f(QStringLiteral(":style.css"));
        if (f.open(QIODevice::ReadOnly))
            cached = QString::fromUtf8(f.readAll());
    }
    return cached;
}

QString getAppTitle()
{
    return appinfo::productName() + QStringLiteral(" (x64)") + QStringLiteral(" v%1").arg(appinfo::versionText());
}

QString supportEmail()
{
    return QStringLiteral("support@quillharbor.example");
}
