// Files and a folder selected together in MultiSelFileDialog come back
// together after one confirm.
#include "shell/multiselfiledialog.h"
#include "shell/scriptedprompt.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFileSystemModel>
#include <QListView>
#include <QPushButton>
#include <QtTest>

#include "testsupport.h"

class TestMultiSelFileDialog : public QObject {
    Q_OBJECT

private slots:
    void test_twoFilesAndFolder_confirmedTogether();
};

void TestMultiSelFileDialog::test_twoFilesAndFolder_confirmedTogether()
{
    const QString dir = testsupport::makeTempDir(QStringLiteral("upload"));
    for (const char* name : {"a.jpg", "b.mp3"}) {
        QFile f(dir + QLatin1Char('/') + QLatin1String(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    QVERIFY(QDir(dir).mkdir(QStringLiteral("Camera")));

    MultiSelFileDialog dialog;
    dialog.setDirectory(dir);
    auto* list = dialog.findChild<QListView*>(QStringLiteral("listView"));
    QVERIFY(list);
    auto* fsModel = qobject_cast<QFileSystemModel*>(list->model());
    QVERIFY(fsModel);
    const QStringList wanted
        = {dir + QStringLiteral("/Camera"), dir + QStringLiteral("/a.jpg"), dir + QStringLiteral("/b.mp3")};
    QTRY_VERIFY(fsModel->index(wanted.first()).isValid() && fsModel->index(wanted.last()).isValid());

    ScriptedPrompt prompt;
    prompt.answerDialogRun(QStringLiteral("MultiSelFileDialog"));
    QTimer::singleShot(0, &dialog, [&] {
        for (const QString& path : wanted)
            list->selectionModel()->select(fsModel->index(path),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        emit dialog.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))->accepted();
    });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QStringList got = dialog.selectedFiles();
    got.sort();
    QCOMPARE(got, wanted); // already sorted
}

QTEST_MAIN(TestMultiSelFileDialog)
#include "test_multiselfiledialog.moc"
