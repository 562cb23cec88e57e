// A UiPrompt for tests: answers questions from a script in the order they
// are expected and records every question. A question that has no scripted
// answer, or whose kind differs from the next answer's, is recorded as
// unexpected and answered with the "no" of its kind (Cancel/No, an empty
// path, a rejected dialog).
//
// Progress dialogs are driven by their job, not by the user: by default they
// run for real (recorded, no answer consumed). Message boxes that such a run
// shows still come to the script.
#pragma once

#include "shell/uiprompt.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class ScriptedPrompt : public UiPrompt {
public:
    enum class Kind { Message, OpenFile, OpenFiles, SaveFile, Directory, Dialog };

    struct Question {
        Question(Kind kind, const QString& text, int icon = 0, int buttons = 0)
            : kind(kind)
            , text(text)
            , icon(icon)
            , buttons(buttons)
        {
        }
        Kind kind;
        QString text; // message text, dialog caption, or the dialog's class name
        int icon = 0; // messages
        int buttons = 0;
        QString dir; // file questions
        QString filter;
        QString selectedFilter; // the filter selected when the dialog opened
    };

    // Installs itself; the destructor restores the previous prompt.
    ScriptedPrompt();
    ~ScriptedPrompt() override;
    ScriptedPrompt(const ScriptedPrompt&) = delete;
    ScriptedPrompt& operator=(const ScriptedPrompt&) = delete;

    // Scripted answers, consumed in order. textContains (when not empty) must
    // occur in the question's text, else the question counts as unexpected.
    void answerMessage(int button, const QString& textContains = QString());
    // File answers: the chosen paths and the filter the user picked (empty:
    // the one selected at start is kept).
    void answerOpenFile(const QString& path, const QString& filter = QString());
    void answerOpenFiles(const QStringList& paths, const QString& filter = QString());
    void answerSaveFile(const QString& path, const QString& filter = QString());
    void answerDirectory(const QString& path);
    // A modal dialog of the given class (QMetaObject class name, empty = any):
    // prepare runs on the live dialog (fill fields, pick entries), then the
    // dialog ends with result without showing.
    void answerDialog(int result, const QString& className = QString(), std::function<void(QDialog*)> prepare = {});
    // The device chooser: picks the entry with this device id and confirms.
    void answerDeviceChoice(const QString& deviceId);
    // Runs the next dialog for real (for dialogs driven by something else).
    void answerDialogRun(const QString& className = QString());

    // When false, progress dialogs need a scripted answer like any dialog.
    void setRunProgressForms(bool on) { m_runProgress = on; }

    QList<Question> questions() const { return m_questions; }
    QStringList messages() const; // texts of the message boxes asked
    QStringList unexpected() const { return m_unexpected; }
    int pendingAnswers() const { return int(m_answers.size()); }

    int messageBox(int icon, const QString& text, int buttons) override;
    QString openFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter,
                         QString* selectedFilter) override;
    QStringList openFileNames(QWidget* parent, const QString& caption, const QString& dir, const QString& filter,
                              QString* selectedFilter) override;
    QString saveFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter,
                         QString* selectedFilter) override;
    QString existingDirectory(QWidget* parent, const QString& caption, const QString& dir) override;
    int execDialog(QDialog* dialog) override;

private:
    struct Answer {
        explicit Answer(Kind kind)
            : kind(kind)
        {
        }
        Kind kind;
        int code = 0;
        QString textContains;
        QStringList paths;
        QString filter;
        QString className;
        bool runReal = false;
        std::function<void(QDialog*)> prepare;
    };

    bool takeAnswer(const Question& q, Answer* out);
    QStringList askFiles(Kind kind, const QString& caption, const QString& dir, const QString& filter,
                         QString* selectedFilter);

    QList<Answer> m_answers;
    QList<Question> m_questions;
    QStringList m_unexpected;
    UiPrompt* m_previous = nullptr;
    bool m_runProgress = true;
};
