// Renders the shell's windows to PNG files under <build>/screenshots for a
// person to look at (no pixel comparison).
#include "shell/aboutusform.h"
#include "shell/core/translations.h"
#include "shell/getstartform.h"
#include "shell/messagebox.h"
#include "shell/progressform.h"

#include <QMessageBox>
#include <QtTest>

#include "testsupport.h"

class TestScreenshots : public QObject {
    Q_OBJECT

    static void saveShot(QWidget* w, const QString& name)
    {
        const QString dir = testsupport::binaryDir() + QStringLiteral("/screenshots");
        QVERIFY(QDir().mkpath(dir));
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QCoreApplication::processEvents();
        QVERIFY(w->grab().save(dir + QLatin1Char('/') + name));
    }

private slots:
    void initTestCase() { installTranslations(qApp); }

    void test_windows()
    {
        GetStartForm start;
        start.setStyleSheet(getStyleSheet());
        start.resize(919, 570);
        saveShot(&start, QStringLiteral("start_page.png"));
        AboutUsForm about;
        saveShot(&about, QStringLiteral("about_dialog.png"));
        std::unique_ptr<QMessageBox> err(createMessageBox(
            QMessageBox::Critical,
            QStringLiteral("<nobr><b>%1</b></nobr><br/><br/>An Error Occurred. <br/><br/>Could not open contacts.db")
                .arg(getAppTitle()),
            QMessageBox::Ok));
        saveShot(err.get(), QStringLiteral("message_box_error.png"));
        ProgressForm progress(QStringLiteral("Loading call history"));
        progress.postUpdateProgress(QString(), 42, QStringLiteral("Calls:420 / 1000"));
        saveShot(&progress, QStringLiteral("progress_form.png"));
    }
};

QTEST_MAIN(TestScreenshots)
#include "test_screenshots.moc"
