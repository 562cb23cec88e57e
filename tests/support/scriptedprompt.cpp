#include "scriptedprompt.h"

#include "shell/datasourceselform.h"

#include <QDialog>
#include <QMessageBox>

namespace {

const char* kindName(ScriptedPrompt::Kind kind)
{
    switch (kind) {
    case ScriptedPrompt::Kind::Message:
        return "message";
    case ScriptedPrompt::Kind::OpenFile:
        return "open file";
    case ScriptedPrompt::Kind::OpenFiles:
        return "open files";
    case ScriptedPrompt::Kind::SaveFile:
        return "save file";
    case ScriptedPrompt::Kind::Directory:
        return "directory";
    case ScriptedPrompt::Kind::Dialog:
        return "dialog";
    }
    return "?";
}

int noAnswer(int buttons)
{
    if (buttons & QMessageBox::Cancel)
        return QMessageBox::Cancel;
    if (buttons & QMessageBox::No)
        return QMessageBox::No;
    return QMessageBox::Ok;
}

} // namespace

ScriptedPrompt::ScriptedPrompt()
{
    m_previous = UiPrompt::install(this);
}

ScriptedPrompt::~ScriptedPrompt()
{
    UiPrompt::install(m_previous);
}

void ScriptedPrompt::answerMessage(int button, const QString& textContains)
{
    Answer a {Kind::Message};
    a.code = button;
    a.textContains = textContains;
    m_answers.append(a);
}

void ScriptedPrompt::answerOpenFile(const QString& path, const QString& filter)
{
    Answer a {Kind::OpenFile};
    a.paths = {path};
    a.filter = filter;
    m_answers.append(a);
}

void ScriptedPrompt::answerOpenFiles(const QStringList& paths, const QString& filter)
{
    Answer a {Kind::OpenFiles};
    a.paths = paths;
    a.filter = filter;
    m_answers.append(a);
}

void ScriptedPrompt::answerSaveFile(const QString& path, const QString& filter)
{
    Answer a {Kind::SaveFile};
    a.paths = {path};
    a.filter = filter;
    m_answers.append(a);
}

void ScriptedPrompt::answerDirectory(const QString& path)
{
    Answer a {Kind::Directory};
    a.paths = {path};
    m_answers.append(a);
}

void ScriptedPrompt::answerDialog(int result, const QString& className, std::function<void(QDialog*)> prepare)
{
    Answer a {Kind::Dialog};
    a.code = result;
    a.className = className;
    a.prepare = std::move(prepare);
    m_answers.append(a);
}

void ScriptedPrompt::answerDeviceChoice(const QString& deviceId)
{
    answerDialog(QDialog::Accepted, QStringLiteral("DataSourceSelForm"), [this, deviceId](QDialog* d) {
        auto* form = qobject_cast<DataSourceSelForm*>(d);
        if (!form || !form->selectId(deviceId))
            m_unexpected.append(QStringLiteral("device chooser has no entry %1").arg(deviceId));
    });
}

void ScriptedPrompt::answerDialogRun(const QString& className)
{
    Answer a {Kind::Dialog};
    a.className = className;
    a.runReal = true;
    m_answers.append(a);
}

QStringList ScriptedPrompt::messages() const
{
    QStringList out;
    for (const auto& q : m_questions)
        if (q.kind == Kind::Message)
            out << q.text;
    return out;
}

bool ScriptedPrompt::takeAnswer(const Question& q, Answer* out)
{
    m_questions.append(q);
    const QString what = QStringLiteral("%1 \"%2\"").arg(QLatin1String(kindName(q.kind)), q.text);
    if (m_answers.isEmpty()) {
        m_unexpected.append(QStringLiteral("unexpected %1").arg(what));
        return false;
    }
    const Answer& next = m_answers.first();
    if (next.kind != q.kind) {
        m_unexpected.append(
            QStringLiteral("%1 asked where a %2 was expected").arg(what, QLatin1String(kindName(next.kind))));
        return false;
    }
    if (q.kind == Kind::Message && !next.textContains.isEmpty() && !q.text.contains(next.textContains)) {
        m_unexpected.append(QStringLiteral("%1 does not contain \"%2\"").arg(what, next.textContains));
        return false;
    }
    if (q.kind == Kind::Dialog && !next.className.isEmpty() && next.className != q.text) {
        m_unexpected.append(QStringLiteral("%1 asked where %2 was expected").arg(what, next.className));
        return false;
    }
    *out = m_answers.takeFirst();
    return true;
}

int ScriptedPrompt::messageBox(int icon, const QString& text, int buttons)
{
    Question q {Kind::Message, text, icon, buttons};
    Answer a {Kind::Message};
    if (!takeAnswer(q, &a))
        return noAnswer(buttons);
    return a.code;
}

QStringList ScriptedPrompt::askFiles(Kind kind, const QString& caption, const QString& dir, const QString& filter,
                                     QString* selectedFilter)
{
    Question q {kind, caption};
    q.dir = dir;
    q.filter = filter;
    q.selectedFilter = selectedFilter ? *selectedFilter : QString();
    Answer a {kind};
    if (!takeAnswer(q, &a))
        return {};
    if (!a.filter.isEmpty() && !filter.split(QStringLiteral(";;")).contains(a.filter))
        m_unexpected.append(QStringLiteral("the filter \"%1\" is not offered by \"%2\"").arg(a.filter, filter));
    if (selectedFilter && !a.filter.isEmpty())
        *selectedFilter = a.filter;
    return a.paths;
}

QString ScriptedPrompt::openFileName(QWidget*, const QString& caption, const QString& dir, const QString& filter,
                                     QString* selectedFilter)
{
    return askFiles(Kind::OpenFile, caption, dir, filter, selectedFilter).value(0);
}

QStringList ScriptedPrompt::openFileNames(QWidget*, const QString& caption, const QString& dir, const QString& filter,
                                          QString* selectedFilter)
{
    return askFiles(Kind::OpenFiles, caption, dir, filter, selectedFilter);
}

QString ScriptedPrompt::saveFileName(QWidget*, const QString& caption, const QString& dir, const QString& filter,
                                     QString* selectedFilter)
{
    return askFiles(Kind::SaveFile, caption, dir, filter, selectedFilter).value(0);
}

QString ScriptedPrompt::existingDirectory(QWidget*, const QString& caption, const QString& dir)
{
    return askFiles(Kind::Directory, caption, dir, QString(), nullptr).value(0);
}

int ScriptedPrompt::execDialog(QDialog* dialog)
{
    if (!dialog)
        return QDialog::Rejected;
    const QString className = QString::fromLatin1(dialog->metaObject()->className());
    if (m_runProgress && className == QLatin1String("ProgressForm")) {
        m_questions.append(Question {Kind::Dialog, className});
        return runModal(dialog);
    }
    Answer a {Kind::Dialog};
    if (!takeAnswer(Question {Kind::Dialog, className}, &a))
        return QDialog::Rejected;
    if (a.runReal)
        return runModal(dialog);
    if (a.prepare)
        a.prepare(dialog);
    // done() also emits finished(), so the dialog's own end handling runs.
    dialog->done(a.code);
    return a.code;
}
