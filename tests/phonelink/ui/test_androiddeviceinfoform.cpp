#include "phonelink/androiddeviceinfo.h"
#include "phonelink/ui/androiddeviceinfoform.h"

#include <QLabel>
#include <QtTest>

class TestAndroidDeviceInfoForm : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void usbPhone_showsSerialAndUsb();
    void wifiPhone_showsUidAndWifi();
    void phoneTextIsNotMarkup();
    void deletedCacheFolderIsRecreated();

private:
    static AndroidDeviceInfo phone()
    {
        AndroidDeviceInfo d;
        d.serial = QStringLiteral("R58M41XYZ");
        d.uid = QStringLiteral("uid-7f3a");
        d.manufacturer = QStringLiteral("Acme");
        d.model = QStringLiteral("Rocket 7");
        d.imei = QStringLiteral("356938035643809");
        d.sdk = QStringLiteral("13");
        d.version = 777;
        return d;
    }
    static QStringList allLabelTexts(QWidget* w)
    {
        QStringList texts;
        for (QLabel* l : w->findChildren<QLabel*>())
            texts << l->text();
        return texts;
    }
};

void TestAndroidDeviceInfoForm::usbPhone_showsSerialAndUsb()
{
    AndroidDeviceInfo d = phone();
    AndroidDeviceInfoForm page(&d);
    QVERIFY(page.createToolbarActions().isEmpty());
    QCOMPARE(page.findChild<QLabel*>(QStringLiteral("lbDeviceName"))->text(), QStringLiteral("Acme Rocket 7"));
    QCOMPARE(page.valueText(0, 1), QStringLiteral("Acme Rocket 7"));
    QCOMPARE(page.valueText(0, 3), QStringLiteral("13"));
    QCOMPARE(page.valueText(1, 1), QStringLiteral("R58M41XYZ"));
    QCOMPARE(page.valueText(1, 3), QStringLiteral("USB"));
    QCOMPARE(page.valueText(2, 1), QStringLiteral("356938035643809"));

    const QString path = d.cacheDir().absolutePath();
    QCOMPARE(page.cacheLink()->text(), QStringLiteral("<a href=\"%1\">356938035643809</a>").arg(path));
    QCOMPARE(page.cacheLink()->toolTip(), path);
    QCOMPARE(page.cacheLink()->maximumWidth(), 250);

    // The agent version is not shown.
    for (const QString& t : allLabelTexts(&page))
        QVERIFY2(!t.contains(QStringLiteral("777")), qPrintable(t));
}

void TestAndroidDeviceInfoForm::wifiPhone_showsUidAndWifi()
{
    AndroidDeviceInfo d = phone();
    d.isWiFi = true;
    d.host = QStringLiteral("192.168.1.20");
    d.port = 48889;
    AndroidDeviceInfoForm page(&d);
    QCOMPARE(page.valueText(1, 1), QStringLiteral("uid-7f3a"));
    QCOMPARE(page.valueText(1, 3), QStringLiteral("Wi-Fi"));
}

void TestAndroidDeviceInfoForm::phoneTextIsNotMarkup()
{
    AndroidDeviceInfo d = phone();
    d.model = QStringLiteral("<img src=x onerror=alert(1)>");
    d.imei = QStringLiteral("<b>1</b>");
    AndroidDeviceInfoForm page(&d);
    QCOMPARE(page.findChild<QLabel*>(QStringLiteral("lbDeviceName"))->textFormat(), Qt::PlainText);
    for (QLabel* l : page.findChildren<QLabel*>()) {
        if (l->text().contains(QStringLiteral("<img src=x")))
            QCOMPARE(l->textFormat(), Qt::PlainText);
    }
    // The folder name in the link is escaped; the folder itself is one safe
    // component of the cache.
    QVERIFY(!page.cacheLink()->text().contains(QStringLiteral("<b>")));
    QVERIFY(!d.cacheDir().dirName().contains(QLatin1Char('/')));
}

void TestAndroidDeviceInfoForm::deletedCacheFolderIsRecreated()
{
    AndroidDeviceInfo d = phone();
    QDir dir = d.cacheDir();
    QVERIFY(dir.removeRecursively());
    AndroidDeviceInfoForm page(&d);
    QVERIFY(dir.exists());
}

QTEST_MAIN(TestAndroidDeviceInfoForm)
#include "test_androiddeviceinfoform.moc"
