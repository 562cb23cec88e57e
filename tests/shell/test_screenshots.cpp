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

const _LocalDbItemNode::Counts kCounts { 1204, 356, 88, 12, 40, 2311, 5 };

} // namespace

class TestScreenshots : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { installTranslations(qApp); }
    void test_windows();
    void test_navigationTreeAndIcons();
};

void TestScreenshots::test_windows()
{
    GetStartForm start;
    start.setStyleSheet(getStyleSheet());
    start.resize(919, 570);
    saveShot(&start, QStringLiteral("start_page.png"));
    AboutUsForm about;
    saveShot(&about, QStringLiteral("about_dialog.png"));

    std::unique_ptr<QMessageBox> err(createMessageBox(QMessageBox::Critical,
        QStringLiteral("<nobr><b>%1</b></nobr><br/><br/>An Error Occurred. <br/><br/>Could not open contacts.db<br/><br/>"
                       " Or you can contact %2 for help.")
            .arg(getAppTitle(), supportEmail()),
        QMessageBox::Ok));
    saveShot(err.get(), QStringLiteral("message_box_error.png"));
    std::unique_ptr<QMessageBox> ask(createMessageBox(
        QMessageBox::Question, QStringLiteral("Delete the selected 12 messages?"), QMessageBox::Yes | QMessageBox::No));
    saveShot(ask.get(), QStringLiteral("message_box_question.png"));

    ProgressForm progress(QStringLiteral("Loading call history"));
    progress.postUpdateProgress(QString(), 42, QStringLiteral("Calls:420 / 1000"));
    saveShot(&progress, QStringLiteral("progress_form.png"));

    LocalDbDescForm backup(QDir(QStringLiteral("/home/user/backups/Pixel backup 2024-05-01")), kCounts);
    backup.setStyleSheet(getStyleSheet());
    backup.resize(760, 420);
    saveShot(&backup, QStringLiteral("local_backup_page.png"));
}

void TestScreenshots::test_navigationTreeAndIcons()
{
    ItemModelMain model;
    AndroidDeviceInfo info;
    info.serial = QStringLiteral("R58M");
    info.manufacturer = QStringLiteral("Acme");
    info.model = QStringLiteral("Phone X");
    model.addDeviceCategories(model.addAndroidDevice(info));
    model.refreshLocalDbChildren(model.addLocalDb(QDir(QStringLiteral("/b/Monday")), kCounts));
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
    QStringList names { QStringLiteral(":main") };
    for (QDirIterator it(QStringLiteral(":/res")); it.hasNext();)
        names << it.next();
    const int cell = 84, cols = 10;
    QImage sheet(cols * cell, int((names.size() + cols - 1) / cols) * cell, QImage::Format_ARGB32);
    sheet.fill(QColor(0xF4, 0xF6, 0xF9));
    QPainter p(&sheet);
    p.setFont(QFont(p.font().family(), 6));
    int drawn = 0;
    for (const QString& name : names) {
        const QPixmap pm(name);
        if (pm.isNull())
            continue;
        const QRect box((drawn % cols) * cell + 10, (drawn / cols) * cell + 4, 64, 64);
        p.drawPixmap(box, pm);
        p.drawText(QRect(box.x() - 8, box.bottom() + 1, cell - 4, 12), Qt::AlignCenter, QFileInfo(name).baseName());
        ++drawn;
    }
    p.end();
    QVERIFY(drawn >= 50);
    QVERIFY(sheet.save(shotPath(QStringLiteral("icons.png"))));
}

QTEST_MAIN(TestScreenshots)
#include "test_screenshots.moc"
