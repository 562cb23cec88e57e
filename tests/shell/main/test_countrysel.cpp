// The country chooser, the saved ".mmc" file and the order in which a
// phone's country is settled after it connected.
#include "phonelink/androiddeviceinfo.h"
#include "shell/core/dataroot.h"
#include "shell/core/translations.h"
#include "shell/main/countryselform.h"
#include "shell/scriptedprompt.h"

#include "mwtestutil.h"
#include "testsupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QtTest>

namespace {

AndroidDeviceInfo phone(const QString& mmc)
{
    AndroidDeviceInfo d;
    d.serial = QStringLiteral("SER-9");
    d.uid = QStringLiteral("uid-9");
    d.imei = QStringLiteral("490154203237518");
    d.manufacturer = QStringLiteral("Acme");
    d.model = QStringLiteral("Nine");
    d.mmc = mmc;
    return d;
}

// Picks the first country whose label contains text and presses OK.
std::function<void(QDialog*)> pick(const QString& text)
{
    return [text](QDialog* dialog) {
        auto* form = static_cast<CountrySelForm*>(dialog);
        QListWidget* list = form->form()->ltCountries;
        for (int i = 0; i < list->count(); ++i) {
            if (list->item(i)->text().contains(text)) {
                list->setCurrentRow(i);
                break;
            }
        }
        form->accept();
    };
}

const QString kCantRead = QStringLiteral("Failed to load country code from your phone.");

} // namespace

class TestCountrySel : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { installTranslations(qApp); }
    void cleanup();

    void chooser_listsFiltersAndInsistsOnAChoice();
    void mmcFile_roundTripsAndStaysInItsFolder();
    void knownMcc_standsWithoutQuestions();
    void unknownMcc_isReplacedBySavedChoice();
    void noMcc_asksAndSavesTheChoice();
    void cancelledChooser_leavesCountryEmpty();
    void unreadableCountryTable_closesChooserAsCancelled();
};

void TestCountrySel::cleanup()
{
    mwtest::resetDataRoot();
    QFile::remove(getDataDir().absoluteFilePath(QLatin1String(dataroot::kCountriesDb)));
}

void TestCountrySel::chooser_listsFiltersAndInsistsOnAChoice()
{
    ScriptedPrompt prompt;
    CountrySelForm form;
    QListWidget* list = form.form()->ltCountries;
    QVERIFY(form.hasCountries());
    QVERIFY(list->count() > 200);
    QCOMPARE(form.windowFlags() & (Qt::Dialog | Qt::FramelessWindowHint), Qt::Dialog | Qt::FramelessWindowHint);
    QCOMPARE(form.form()->lbTitle->text(), QStringLiteral("Select your country code:"));
    // Binary order of the names: a name starting with a non-ASCII letter is last.
    QVERIFY(list->item(list->count() - 1)->text().startsWith(QString::fromUtf8("\xc3\x85land")));

    form.form()->txtKW->setText(QStringLiteral("44"));
    bool uk = false;
    for (int i = 0; i < list->count(); ++i) {
        QVERIFY(list->item(i)->text().contains(QStringLiteral("44")));
        uk = uk || list->item(i)->text() == QStringLiteral("United Kingdom (+44)");
    }
    QVERIFY(uk);
    form.form()->txtKW->setText(QStringLiteral("GERMANY"));
    QCOMPARE(list->count(), 1);
    QCOMPARE(list->item(0)->data(Qt::UserRole).toString(), QStringLiteral("262"));

    // Escape does nothing; OK without a selection warns and stays.
    form.show();
    form.reject();
    QVERIFY(form.isVisible());
    list->setCurrentItem(nullptr);
    prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Please select a cuntry code first to continue."));
    form.accept();
    QVERIFY(form.isVisible());
    // A No to the confirmation stays too; Yes takes the country.
    list->setCurrentRow(0);
    prompt.answerMessage(QMessageBox::No, QStringLiteral("Confirm to select Germany (+49)?"));
    form.accept();
    QVERIFY(form.isVisible());
    QVERIFY(form.selectedMcc.isEmpty());
    prompt.answerMessage(QMessageBox::Yes, QStringLiteral("Confirm to select Germany (+49)?"));
    form.accept();
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QCOMPARE(form.selectedMcc, QStringLiteral("262"));
    QVERIFY2(prompt.unexpected().isEmpty(), qPrintable(prompt.unexpected().join(QLatin1Char('\n'))));
}

void TestCountrySel::mmcFile_roundTripsAndStaysInItsFolder()
{
    const QString dir = testsupport::makeTempDir(QStringLiteral("mmc"));
    QDir folder(dir);
    QVERIFY(readMccFile(folder, QStringLiteral("SER")).isEmpty());
    writeMccFile(QStringLiteral("262"), folder, QStringLiteral("SER"));
    QFile f(folder.absoluteFilePath(QStringLiteral("SER.mmc")));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("262"));
    QCOMPARE(readMccFile(folder, QStringLiteral("SER")), QStringLiteral("262"));

    // A device id from the phone names one file inside the folder.
    writeMccFile(QStringLiteral("310"), folder, QStringLiteral("../../evil"));
    QCOMPARE(readMccFile(folder, QStringLiteral("../../evil")), QStringLiteral("310"));
    QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden).size(), 2);
    QVERIFY(!QFile::exists(QDir(dir).absoluteFilePath(QStringLiteral("../../evil.mmc"))));
}

void TestCountrySel::knownMcc_standsWithoutQuestions()
{
    ScriptedPrompt prompt;
    AndroidDeviceInfo d = phone(QStringLiteral("262"));
    writeMccFile(QStringLiteral("310"), d.cacheDir(), d.deviceId());
    settleDeviceCountry(d, nullptr);
    QCOMPARE(d.mmc, QStringLiteral("262"));
    QVERIFY(prompt.questions().isEmpty());
}

void TestCountrySel::unknownMcc_isReplacedBySavedChoice()
{
    ScriptedPrompt prompt;
    AndroidDeviceInfo d = phone(QStringLiteral("000"));
    writeMccFile(QStringLiteral("310"), d.cacheDir(), d.deviceId());
    settleDeviceCountry(d, nullptr);
    QCOMPARE(d.mmc, QStringLiteral("310"));
    QVERIFY(prompt.questions().isEmpty());

    // Over Wi-Fi the same phone has another device id, so another file.
    AndroidDeviceInfo wifi = phone(QString());
    wifi.isWiFi = true;
    prompt.answerMessage(QMessageBox::Ok, kCantRead);
    prompt.answerDialog(QDialog::Accepted, QStringLiteral("CountrySelForm"), pick(QStringLiteral("France")));
    prompt.answerMessage(QMessageBox::Yes, QStringLiteral("Confirm to select France"));
    settleDeviceCountry(wifi, nullptr);
    QCOMPARE(wifi.mmc, QStringLiteral("208"));
    QVERIFY2(prompt.unexpected().isEmpty(), qPrintable(prompt.unexpected().join(QLatin1Char('\n'))));
    QCOMPARE(readMccFile(d.cacheDir(), QStringLiteral("uid-9")), QStringLiteral("208"));
    QCOMPARE(readMccFile(d.cacheDir(), QStringLiteral("SER-9")), QStringLiteral("310"));
}

void TestCountrySel::noMcc_asksAndSavesTheChoice()
{
    ScriptedPrompt prompt;
    prompt.answerMessage(QMessageBox::Ok, kCantRead);
    prompt.answerDialog(QDialog::Accepted, QStringLiteral("CountrySelForm"), pick(QStringLiteral("Germany")));
    prompt.answerMessage(QMessageBox::Yes, QStringLiteral("Confirm to select Germany (+49)?"));
    AndroidDeviceInfo d = phone(QString());
    settleDeviceCountry(d, nullptr);
    QVERIFY2(prompt.unexpected().isEmpty(), qPrintable(prompt.unexpected().join(QLatin1Char('\n'))));
    QCOMPARE(d.mmc, QStringLiteral("262"));
    QCOMPARE(readMccFile(d.cacheDir(), d.deviceId()), QStringLiteral("262"));

    // The next connection of the same phone asks nothing.
    ScriptedPrompt quiet;
    AndroidDeviceInfo again = phone(QString());
    settleDeviceCountry(again, nullptr);
    QCOMPARE(again.mmc, QStringLiteral("262"));
    QVERIFY(quiet.questions().isEmpty());
}

void TestCountrySel::cancelledChooser_leavesCountryEmpty()
{
    ScriptedPrompt prompt;
    prompt.answerMessage(QMessageBox::Ok, kCantRead);
    prompt.answerDialog(QDialog::Rejected, QStringLiteral("CountrySelForm"));
    AndroidDeviceInfo d = phone(QString());
    settleDeviceCountry(d, nullptr);
    QVERIFY(prompt.unexpected().isEmpty());
    QVERIFY(d.mmc.isEmpty());
    QVERIFY(!QFile::exists(d.cacheDir().absoluteFilePath(QStringLiteral("SER-9.mmc"))));
}

void TestCountrySel::unreadableCountryTable_closesChooserAsCancelled()
{
    mwtest::writeFile(getDataDir().absoluteFilePath(QLatin1String(dataroot::kCountriesDb)), QByteArray(8192, 'z'));
    {
        // A reported MCC stands when the table cannot be asked.
        ScriptedPrompt prompt;
        AndroidDeviceInfo d = phone(QStringLiteral("262"));
        settleDeviceCountry(d, nullptr);
        QCOMPARE(d.mmc, QStringLiteral("262"));
        QVERIFY(prompt.questions().isEmpty());
    }
    ScriptedPrompt prompt;
    prompt.answerMessage(QMessageBox::Ok, kCantRead);
    prompt.answerMessage(QMessageBox::Ok); // the error box of the chooser
    AndroidDeviceInfo d = phone(QString());
    settleDeviceCountry(d, nullptr);
    QVERIFY2(prompt.unexpected().isEmpty(), qPrintable(prompt.unexpected().join(QLatin1Char('\n'))));
    QCOMPARE(prompt.pendingAnswers(), 0);
    QCOMPARE(prompt.questions().last().icon, int(QMessageBox::Critical));
    QVERIFY(d.mmc.isEmpty());
}

QTEST_MAIN(TestCountrySel)
#include "test_countrysel.moc"
