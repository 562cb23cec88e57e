// Renders the shell's windows to PNG files under <build>/screenshots for a
// person to look at (no pixel comparison).
#include "shell/aboutusform.h"
#include "shell/core/translations.h"
#include "shell/getstartform.h"
#include "shell/itemmodelmain.h"
#include "shell/localdbdescform.h"
#include "shell/messagebox.h"
#include "shell/mytreeview.h"
#include "shell/progressform.h"

#include <QDirIterator>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QtTest>

#include "testsupport.h"

namespace {

QString shotPath(const QString& name)
{
    const QString dir = testsupport::binaryDir() + QStringLiteral("/screenshots");
    QDir().mkpath(dir);
    return dir + QLatin1Char('/') + name;
}

void saveShot(QWidget* w, const QString& name)
{
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QCoreApplication::processEvents();
    const QPixmap pm = w->grab();
    QVERIFY(!pm.isNull());
    QVERIFY(pm.save(shotPath(name)));
}

} // namespace

class TestScreenshots : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { installTranslations(qApp); }
    void test_startPage();
    void test_aboutDialog();
    void test_messageBoxes();
    void test_progressAndBackupPage();
    void test_navigationTreeAndIcons();
};

void TestScreenshots::test_startPage()
{
    GetStartForm page;
    page.setStyleSheet(getStyleSheet());
    page.resize(919, 570);
    QVERIFY(page.createToolbarActions().isEmpty());
    QVERIFY(page.findChild<QLabel*>(QStringLiteral("lbProduct"))->text().contains(QStringLiteral(">Handset Ferry<")));
    QVERIFY(GetStartForm::productText(QStringLiteral("Other Tool")).contains(QStringLiteral(">Other Tool<")));
    saveShot(&page, QStringLiteral("start_page.png"));
}

void TestScreenshots::test_aboutDialog()
{
    AboutUsForm about;
    QVERIFY(about.findChild<QLabel*>(QStringLiteral("lbCopyRight"))
                ->text()
                .contains(QString::number(QDate::currentDate().year())));
    saveShot(&about, QStringLiteral("about_dialog.png"));
}

void TestScreenshots::test_messageBoxes()
{
    std::unique_ptr<QMessageBox> err(createMessageBox(
        QMessageBox::Critical,
        QStringLiteral("<nobr><b>%1</b></nobr><br/><br/>An Error Occurred. <br/><br/>Could not open contacts.db<br/><br/>"
                       " Or you can contact %2 for help.")
            .arg(getAppTitle(), supportEmail()),
        QMessageBox::Ok));
    saveShot(err.get(), QStringLiteral("message_box_error.png"));
    std::unique_ptr<QMessageBox> ask(
        createMessageBox(QMessageBox::Question, QStringLiteral("Delete the selected 12 messages?"),
                         QMessageBox::Yes | QMessageBox::No));
    saveShot(ask.get(), QStringLiteral("message_box_question.png"));
}

void TestScreenshots::test_progressAndBackupPage()
{
    ProgressForm progress(QStringLiteral("Loading call history"));
    progress.postUpdateProgress(QString(), 42, QStringLiteral("Calls:420 / 1000"));
    saveShot(&progress, QStringLiteral("progress_form.png"));

    _LocalDbItemNode::Counts counts{1204, 356, 88, 12, 40, 2311, 5};
    LocalDbDescForm page(QDir(QStringLiteral("/home/user/backups/Pixel backup 2024-05-01")), counts);
    page.setStyleSheet(getStyleSheet());
    page.resize(760, 420);
    // Counts sit next to their captions by index (4 bookmarks, 5 calls, 6 playlists).
    auto* grid = page.findChild<QWidget*>(QStringLiteral("infoArea"))->findChild<QGridLayout*>();
    QVERIFY(grid);
    const auto cellText = [grid](int r, int c) {
        return qobject_cast<QLabel*>(grid->itemAtPosition(r, c)->widget())->text();
    };
    QVERIFY(cellText(3, 0).contains(QStringLiteral("Bookmarks:")));
    QCOMPARE(cellText(3, 1), QStringLiteral("40"));
    QVERIFY(cellText(2, 0).contains(QStringLiteral("Call History:")));
    QCOMPARE(cellText(2, 1), QStringLiteral("2311"));
    QCOMPARE(cellText(2, 3), QStringLiteral("5"));
    QVERIFY(cellText(3, 3).contains(QStringLiteral("href=\"/home/user/backups/Pixel backup 2024-05-01\"")));
    QVERIFY(page.createToolbarActions().isEmpty());
    saveShot(&page, QStringLiteral("local_backup_page.png"));
}

void TestScreenshots::test_navigationTreeAndIcons()
{
    ItemModelMain model;
    AndroidDeviceInfo info;
    info.serial = QStringLiteral("R58M");
    info.manufacturer = QStringLiteral("Acme");
    info.model = QStringLiteral("Phone X");
    model.addDeviceCategories(model.addAndroidDevice(info));
    _LocalDbItemNode::Counts counts{1204, 356, 88, 12, 40, 2311, 5};
    model.refreshLocalDbChildren(model.addLocalDb(QDir(QStringLiteral("/b/Monday")), counts));
    MyTreeView tree;
    tree.setObjectName(QStringLiteral("treeMain"));
    tree.setHeaderHidden(true);
    tree.setIconSize(QSize(18, 18));
    tree.setIndentation(15);
    tree.setStyleSheet(getStyleSheet());
    tree.setModel(&model);
    tree.expandAll();
    tree.resize(240, 700);
    saveShot(&tree, QStringLiteral("navigation_tree.png"));

    // A contact sheet of every picture in the resources.
    QStringList names;
    QDirIterator it(QStringLiteral(":/res"));
    while (it.hasNext())
        names << it.next();
    names.sort();
    names << QStringLiteral(":main");
    const int cell = 84, cols = 10;
    QImage sheet(cols * cell, int((names.size() + cols - 1) / cols) * cell, QImage::Format_ARGB32);
    sheet.fill(QColor(0xF4, 0xF6, 0xF9));
    QPainter p(&sheet);
    int drawn = 0;
    for (int i = 0; i < names.size(); ++i) {
        const QPixmap pm(names[i]);
        if (pm.isNull())
            continue;
        const QRect box((i % cols) * cell + 10, (i / cols) * cell + 4, 64, 64);
        p.drawPixmap(box, pm);
        p.setFont(QFont(p.font().family(), 6));
        p.drawText(QRect(box.x() - 8, box.bottom() + 1, cell - 4, 12), Qt::AlignCenter,
                   QFileInfo(names[i]).baseName());
        ++drawn;
    }
    p.end();
    QVERIFY(drawn >= 50);
    QVERIFY(sheet.save(shotPath(QStringLiteral("icons.png"))));
}

QTEST_MAIN(TestScreenshots)
#include "test_screenshots.moc"
