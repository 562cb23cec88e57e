#include "phonelink/androiddeviceinfo.h"

#include "shell/core/dataroot.h"

#include <QtTest>

class TestAndroidDeviceInfo : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void displayName_data();
    void displayName();
    void deviceId_followsRoad();
    void cacheDir_isNamedByImeiOnBothRoads();
    void cacheDir_withoutImeiFallsBackToUid();
    void cacheDir_hostileNamesStayInsideCache_data();
    void cacheDir_hostileNamesStayInsideCache();
    void cacheDir_recreatedWhenDeleted();
    void mmcFileName_isOneSafeComponent();
    void parseDeviceInfo();
};

void TestAndroidDeviceInfo::displayName_data()
{
    QTest::addColumn<QString>("manufacturer");
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("expected");
    QTest::newRow("both") << "Acme"
                          << "Rocket 7"
                          << "Acme Rocket 7";
    QTest::newRow("no model") << "Acme"
                              << ""
                              << "Acme";
    QTest::newRow("no maker") << ""
                              << "Rocket 7"
                              << "Rocket 7";
    QTest::newRow("blanks") << " Acme "
                            << " "
                            << "Acme";
}

void TestAndroidDeviceInfo::displayName()
{
    QFETCH(QString, manufacturer);
    QFETCH(QString, model);
    QFETCH(QString, expected);
    AndroidDeviceInfo d;
    d.manufacturer = manufacturer;
    d.model = model;
    QCOMPARE(d.displayName(), expected);
}

void TestAndroidDeviceInfo::deviceId_followsRoad()
{
    AndroidDeviceInfo d;
    d.serial = QStringLiteral("R58M123");
    d.uid = QStringLiteral("a1b2c3");
    QCOMPARE(d.deviceId(), QStringLiteral("R58M123"));
    d.isWiFi = true;
    QCOMPARE(d.deviceId(), QStringLiteral("a1b2c3"));
}

void TestAndroidDeviceInfo::cacheDir_isNamedByImeiOnBothRoads()
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
    QVERIFY(QFileInfo(expected).isDir());
}

void TestAndroidDeviceInfo::cacheDir_withoutImeiFallsBackToUid()
{
    AndroidDeviceInfo a;
    a.uid = QStringLiteral("uid-one");
    AndroidDeviceInfo b;
    b.uid = QStringLiteral("uid-two");
    QVERIFY(a.cacheDir() != b.cacheDir());
    QCOMPARE(a.cacheDir().dirName(), QStringLiteral("uid-one"));

    // Nothing from the agent yet: the adb serial keeps phones apart.
    AndroidDeviceInfo c;
    c.serial = QStringLiteral("SER1");
    QCOMPARE(c.cacheFolderName(), QStringLiteral("SER1"));
    QCOMPARE(AndroidDeviceInfo().cacheFolderName(), QStringLiteral("unknown_device"));
}

void TestAndroidDeviceInfo::cacheDir_hostileNamesStayInsideCache_data()
{
    QTest::addColumn<QString>("imei");
    QTest::newRow("parent") << "..";
    QTest::newRow("dot") << ".";
    QTest::newRow("climb") << "../../etc";
    QTest::newRow("absolute") << "/tmp/x";
    QTest::newRow("backslash") << "..\\..\\x";
    QTest::newRow("device name") << "CON";
    QTest::newRow("nul") << QString::fromUtf8("a\0b", 3);
}

void TestAndroidDeviceInfo::cacheDir_hostileNamesStayInsideCache()
{
    QFETCH(QString, imei);
    AndroidDeviceInfo d;
    d.imei = imei;
    d.uid = QStringLiteral("fallback-uid");
    const QString cacheRoot = getDataDir().absoluteFilePath(QStringLiteral("android_cache"));
    const QDir dir = d.cacheDir();
    QCOMPARE(QFileInfo(dir.absolutePath()).absolutePath(), cacheRoot);
    QVERIFY(dir.dirName() != QLatin1String("..") && dir.dirName() != QLatin1String("."));
    QVERIFY(!dir.dirName().contains(QLatin1Char('/')));
}

void TestAndroidDeviceInfo::cacheDir_recreatedWhenDeleted()
{
    AndroidDeviceInfo d;
    d.imei = QStringLiteral("111");
    QDir dir = d.cacheDir();
    QVERIFY(dir.removeRecursively());
    QVERIFY(!dir.exists());
    QVERIFY(d.cacheDir().exists());
}

void TestAndroidDeviceInfo::mmcFileName_isOneSafeComponent()
{
    AndroidDeviceInfo d;
    d.serial = QStringLiteral("192.168.1.5:5555");
    QVERIFY(d.mmcFileName().endsWith(QLatin1String(".mmc")));
    QVERIFY(!d.mmcFileName().contains(QLatin1Char(':')));
    d.serial = QStringLiteral("..");
    QCOMPARE(d.mmcFileName(), QStringLiteral("unknown_device.mmc"));
    d.isWiFi = true;
    d.uid = QStringLiteral("../../x");
    QVERIFY(!d.mmcFileName().contains(QLatin1Char('/')));
}

void TestAndroidDeviceInfo::parseDeviceInfo()
{
    AndroidDeviceInfo d;
    d.imei = QStringLiteral("keep");
    d.parseDeviceInfo(QStringLiteral("version=15;model=Rocket 7;color=blue"));
    QCOMPARE(d.version, 15);
    QCOMPARE(d.model, QStringLiteral("Rocket 7"));
    QCOMPARE(d.imei, QStringLiteral("keep"));

    // An empty value does not match: the field keeps its value.
    d.parseDeviceInfo(QStringLiteral("model=;imei=35693;manufacturer=Acme;uid=u-1;sdk=13;mmc=262"));
    QCOMPARE(d.model, QStringLiteral("Rocket 7"));
    QCOMPARE(d.imei, QStringLiteral("35693"));
    QCOMPARE(d.manufacturer, QStringLiteral("Acme"));
    QCOMPARE(d.uid, QStringLiteral("u-1"));
    QCOMPARE(d.sdk, QStringLiteral("13"));
    QCOMPARE(d.mmc, QStringLiteral("262"));

    d.parseDeviceInfo(QStringLiteral("version=beta"));
    QCOMPARE(d.version, 0);
    // Keys are case-sensitive.
    d.parseDeviceInfo(QStringLiteral("Model=X"));
    QCOMPARE(d.model, QStringLiteral("Rocket 7"));
}

QTEST_GUILESS_MAIN(TestAndroidDeviceInfo)
#include "test_androiddeviceinfo.moc"
