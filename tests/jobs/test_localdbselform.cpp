// The backup folder chooser: what it offers and which names it accepts.
#include "jobs/localdbselform.h"
#include "shell/core/dataroot.h"
#include "shell/core/translations.h"
#include "shell/scriptedprompt.h"

#include <QComboBox>
#include <QMessageBox>
#include <QtTest>

using namespace Qt::StringLiterals;

class TestLocalDbSelForm : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { installTranslations(qApp); }
    void offersTheFolders_andAcceptsAChoiceOrATrimmedNewName();
    void badNames_warnAndKeepTheDialogOpen();
};

void TestLocalDbSelForm::offersTheFolders_andAcceptsAChoiceOrATrimmedNewName()
{
    const QDir root = getLocalDatabasesDir();
    for (const QString& d : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        QDir(root.absoluteFilePath(d)).removeRecursively();
    auto items = [](LocalDbSelForm& form) {
        QStringList out;
        for (int i = 0; i < form.comboBox()->count(); ++i)
            out << form.comboBox()->itemText(i);
        return out << form.comboBox()->currentText();
    };
    LocalDbSelForm first(nullptr, u"Acme Rocket 7-backup"_s);
    QCOMPARE(items(first), (QStringList {QString(), u"Acme Rocket 7-backup"_s}));
    QVERIFY(!first.hasChoice());

    root.mkpath(u"beta"_s);
    root.mkpath(u"Alpha"_s);
    QFile(root.absoluteFilePath(u"stray.txt"_s)).open(QIODevice::WriteOnly);
    LocalDbSelForm chosen(nullptr, QString());
    QCOMPARE(items(chosen), (QStringList {QString(), u"Alpha"_s, u"beta"_s, QString()}));
    chosen.comboBox()->setCurrentIndex(2);
    chosen.onBtnOkPress();
    QCOMPARE(chosen.result(), int(QDialog::Accepted));
    QVERIFY(chosen.hasChoice());
    QCOMPARE(chosen.localDbDir.absolutePath(), root.absoluteFilePath(u"beta"_s));

    LocalDbSelForm named(nullptr, u"  my phone  "_s);
    named.onBtnOkPress();
    QCOMPARE(named.result(), int(QDialog::Accepted));
    QCOMPARE(named.localDbDir.absolutePath(), root.absoluteFilePath(u"my phone"_s));
    QVERIFY(named.localDbDir.exists());
}

void TestLocalDbSelForm::badNames_warnAndKeepTheDialogOpen()
{
    const QString empty = u"Select one Database or enter a new Database name"_s;
    const QString invalid = u"Invalid Local Database name(can't contain \\ / : * ? \" < > |)"_s;
    const QDir root = getLocalDatabasesDir();
    const QStringList before = root.entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    // Names made only of dots would select the backup root or the data root.
    for (const QString& name : {u"   "_s, u"my:phone"_s, u"a/b"_s, u"a\tb"_s, u" . "_s, u".."_s, u"...."_s}) {
        const QString warning = name.trimmed().isEmpty() ? empty : invalid;
        ScriptedPrompt prompt;
        prompt.answerMessage(QMessageBox::Ok, warning);
        LocalDbSelForm form(nullptr, name);
        form.onBtnOkPress();
        QVERIFY2(prompt.unexpected().isEmpty() && prompt.messages() == QStringList {warning}, qPrintable(name));
        QVERIFY2(!form.hasChoice() && form.result() == 0, qPrintable(name));
    }
    QCOMPARE(root.entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
}

QTEST_MAIN(TestLocalDbSelForm)
#include "test_localdbselform.moc"
