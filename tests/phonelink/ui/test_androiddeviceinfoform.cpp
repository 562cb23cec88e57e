#include "phonelink/androiddeviceinfo.h"
#include "phonelink/ui/androiddeviceinfoform.h"

#include <QLabel>
#include <QtTest>

class TestAndroidDeviceInfoForm : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void page_showsTheRoadsIdAndCacheLink();
    void phoneTextIsNotMarkup();

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
};

void TestAndroidDeviceInfoForm::page_showsTheRoadsIdAndCacheLink()
{
    AndroidDeviceInfo d = phone();
    for (bool wifi : { false, true }) {
        d.isWiFi = wifi;
        AndroidDeviceInfoForm page(&d);
        QCOMPARE(page.findChild<QLabel*>(QStringLiteral("lbDeviceName"))->text(), QStringLiteral("Acme Rocket 7"));
        QCOMPARE(page.valueText(0, 3), QStringLiteral("13"));
        QCOMPARE(page.valueText(1, 1), wifi ? QStringLiteral("uid-7f3a") : QStringLiteral("R58M41XYZ"));
        QCOMPARE(page.valueText(1, 3), wifi ? QStringLiteral("Wi-Fi") : QStringLiteral("USB"));
        QCOMPARE(page.valueText(2, 1), QStringLiteral("356938035643809"));
        const QString path = d.cacheDir().absolutePath();
        QCOMPARE(page.cacheLink()->text(), QStringLiteral("<a href=\"%1\">356938035643809</a>").arg(path));
        // The agent version is not shown.
        for (QLabel* l : page.findChildren<QLabel*>())
            QVERIFY2(!l->text().contains(QStringLiteral("777")), qPrintable(l->text()));
    }
}

void TestAndroidDeviceInfoForm::phoneTextIsNotMarkup()
{
    AndroidDeviceInfo d = phone();
    d.model = QStringLiteral("<img src=x onerror=alert(1)>");
    d.imei = QStringLiteral("<b>1</b>");
    AndroidDeviceInfoForm page(&d);
    for (QLabel* l : page.findChildren<QLabel*>()) {
        if (l->text().contains(QStringLiteral("<img src=x")))
            QCOMPARE(l->textFormat(), Qt::PlainText);
    }
    QVERIFY(!page.cacheLink()->text().contains(QStringLiteral("<b>")));
}

QTEST_MAIN(TestAndroidDeviceInfoForm)
#include "test_androiddeviceinfoform.moc"
