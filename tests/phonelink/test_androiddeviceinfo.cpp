#include "phonelink/androiddeviceinfo.h"

#include "shell/core/dataroot.h"

#include <QtTest>

class TestAndroidDeviceInfo : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cacheDir_isNamedByImei_elseUid_elseSerial();
    void hostileNames_stayOneComponentInsideCache_data();
    void hostileNames_stayOneComponentInsideCache();
    void parseDeviceInfo();
};

void TestAndroidDeviceInfo::cacheDir_isNamedByImei_elseUid_elseSerial()
{
    AndroidDeviceInfo usb;
    usb.serial = QStringLiteral("R58M123");
    usb.uid = QStringLiteral("a1b2c3");
    usb.imei = QStringLiteral("356938035643809");
    AndroidDeviceInfo wifi = usb;
    wifi.isWiFi = true;
    wifi.serial.clear();
    const QString expected = getDataDir().absoluteFilePath(QStringLiteral("android_cache/356938035643809"));
    QCOMPARE(usb.cacheDir().absolutePath(), expected);
    QCOMPARE(wifi.cacheDir().absolutePath(), expected);
    // Deleted while in use: made again.
    QVERIFY(QDir(expected).removeRecursively());
    QVERIFY(usb.cacheDir().exists());

    // Phones without an IMEI never share a folder.
    usb.imei.clear();
    QCOMPARE(usb.cacheDir().dirName(), QStringLiteral("a1b2c3"));
    usb.uid.clear();
    QCOMPARE(usb.cacheFolderName(), QStringLiteral("R58M123"));
    QCOMPARE(AndroidDeviceInfo().cacheFolderName(), QStringLiteral("unknown_device"));
}

void TestAndroidDeviceInfo::hostileNames_stayOneComponentInsideCache_data()
{
    QTest::addColumn<QString>("name");
    for (const char* name : { "..", ".", "../../etc", "/tmp/x", "..\\..\\x", "CON", "192.168.1.5:5555" })
        QTest::newRow(name) << QString::fromLatin1(name);
    QTest::newRow("nul") << QString::fromUtf8("a\0b", 3);
}

void TestAndroidDeviceInfo::hostileNames_stayOneComponentInsideCache()
{
    QFETCH(QString, name);
    AndroidDeviceInfo d;
    d.imei = name;
    d.uid = QStringLiteral("fallback-uid");
    const QDir dir = d.cacheDir();
    QCOMPARE(QFileInfo(dir.absolutePath()).absolutePath(), getDataDir().absoluteFilePath(QStringLiteral("android_cache")));
    QVERIFY(dir.dirName() != QLatin1String("..") && dir.dirName() != QLatin1String("."));

    // The ".mmc" file is named by the device id: the serial over USB, the
    // uid over Wi-Fi.
    for (bool wifi : { false, true }) {
        AndroidDeviceInfo m;
        m.isWiFi = wifi;
        (wifi ? m.uid : m.serial) = name;
        const QString file = m.mmcFileName();
        QVERIFY2(file.endsWith(QLatin1String(".mmc")) && file != QLatin1String("..mmc"), qPrintable(file));
        for (const QChar bad : { QChar(u'/'), QChar(u'\\'), QChar(u':'), QChar(0) })
            QVERIFY2(!file.contains(bad), qPrintable(file));
    }
}

void TestAndroidDeviceInfo::parseDeviceInfo()
{
    AndroidDeviceInfo d;
    d.imei = QStringLiteral("keep");
    d.parseDeviceInfo(QStringLiteral("version=15;model=Rocket 7;color=blue"));
    QCOMPARE(d.version, 15);
    QCOMPARE(d.model, QStringLiteral("Rocket 7"));
    QCOMPARE(d.imei, QStringLiteral("keep"));

    // An empty value does not match: the field keeps its value. Keys are
    // case-sensitive.
    d.parseDeviceInfo(QStringLiteral("model=;imei=35693;Manufacturer=Acme;uid=u-1;mmc=262;version=beta"));
    QCOMPARE(d.model, QStringLiteral("Rocket 7"));
    QCOMPARE(d.imei, QStringLiteral("35693"));
    QCOMPARE(d.manufacturer, QString());
    QCOMPARE(d.uid, QStringLiteral("u-1"));
    QCOMPARE(d.mmc, QStringLiteral("262"));
    QCOMPARE(d.version, 0);
}

QTEST_GUILESS_MAIN(TestAndroidDeviceInfo)
#include "test_androiddeviceinfo.moc"
