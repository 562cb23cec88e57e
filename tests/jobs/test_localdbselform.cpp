// The backup folder chooser: what it offers and which names it accepts.
#include "jobs/localdbselform.h"
#include "shell/core/dataroot.h"
#include "shell/core/translations.h"
#include "shell/scriptedprompt.h"

#include <QComboBox>
#include <QMessageBox>
#include <QtTest>

class TestLocalDbSelForm : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { installTranslations(qApp); }

    void noBackupsYet_offersEmptyEntryAndSuggestedName();
    void existingFolders_areListed_andChoosingOneSelectsIt();
    void newName_isTrimmed_andCreated();
    void badNames_warnAndKeepTheDialogOpen_data();
    void badNames_warnAndKeepTheDialogOpen();
};

void TestLocalDbSelForm::noBackupsYet_offersEmptyEntryAndSuggestedName()
{
    for (const QString& d : getLocalDatabasesDir().entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        QDir(getLocalDatabasesDir().absoluteFilePath(d)).removeRecursively();
    LocalDbSelForm form(nullptr, QStringLiteral("Acme Rocket 7-backup"));
    QCOMPARE(form.size(), QSize(423, 156));
    QCOMPARE(form.windowTitle(), QStringLiteral("Select one Database for backup"));
    QComboBox* combo = form.comboBox();
    QCOMPARE(combo->count(), 1);
    QCOMPARE(combo->itemText(0), QString());
    QCOMPARE(combo->currentText(), QStringLiteral("Acme Rocket 7-backup"));
    QVERIFY(!form.hasChoice());
}

void TestLocalDbSelForm::existingFolders_areListed_andChoosingOneSelectsIt()
{
    const QDir root = getLocalDatabasesDir();
    root.mkpath(QStringLiteral("beta"));
    root.mkpath(QStringLiteral("Alpha"));
    QFile(root.absoluteFilePath(QStringLiteral("stray.txt"))).open(QIODevice::WriteOnly);

    LocalDbSelForm form(nullptr, QString());
    QComboBox* combo = form.comboBox();
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    QCOMPARE(items, (QStringList { QString(), QStringLiteral("Alpha"), QStringLiteral("beta") }));
    QCOMPARE(combo->currentText(), QString());

    combo->setCurrentIndex(2);
    form.onBtnOkPress();
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QVERIFY(form.hasChoice());
    QCOMPARE(form.localDbDir.dirName(), QStringLiteral("beta"));
    QCOMPARE(form.localDbDir.absolutePath(), root.absoluteFilePath(QStringLiteral("beta")));
}

void TestLocalDbSelForm::newName_isTrimmed_andCreated()
{
    LocalDbSelForm form(nullptr, QStringLiteral("  my phone  "));
    form.onBtnOkPress();
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QCOMPARE(form.localDbDir.dirName(), QStringLiteral("my phone"));
    QVERIFY(form.localDbDir.exists());
    QCOMPARE(QFileInfo(form.localDbDir.absolutePath()).dir().absolutePath(), getLocalDatabasesDir().absolutePath());
}

void TestLocalDbSelForm::badNames_warnAndKeepTheDialogOpen_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("warning");
    const QString empty = QStringLiteral("Select one Database or enter a new Database name");
    const QString invalid = QStringLiteral("Invalid Local Database name(can't contain \\ / : * ? \" < > |)");
    QTest::newRow("blanks") << QStringLiteral("   ") << empty;
    QTest::newRow("colon") << QStringLiteral("my:phone") << invalid;
    QTest::newRow("slash") << QStringLiteral("a/b") << invalid;
    QTest::newRow("tab") << QStringLiteral("a\tb") << invalid;
    QTest::newRow("dot") << QStringLiteral(" . ") << invalid;
    QTest::newRow("dot dot") << QStringLiteral("..") << invalid;
    QTest::newRow("dots") << QStringLiteral("....") << invalid;
}

void TestLocalDbSelForm::badNames_warnAndKeepTheDialogOpen()
{
    QFETCH(QString, name);
    QFETCH(QString, warning);
    const QStringList before = getLocalDatabasesDir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    ScriptedPrompt prompt;
    prompt.answerMessage(QMessageBox::Ok, warning);
    LocalDbSelForm form(nullptr, name);
    form.onBtnOkPress();
    QVERIFY2(prompt.unexpected().isEmpty(), qPrintable(prompt.unexpected().join(QLatin1Char('\n'))));
    QCOMPARE(prompt.messages(), QStringList { warning });
    QVERIFY(!form.hasChoice());
    QCOMPARE(form.result(), 0);
    QCOMPARE(getLocalDatabasesDir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
}

QTEST_MAIN(TestLocalDbSelForm)
#include "test_localdbselform.moc"
