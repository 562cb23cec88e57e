#include "shell/core/dataroot.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QtTest>

namespace {

const QString kId = QLatin1String(dataroot::kProductId);

QString redirectFile() { return getMakerDataDir() + QLatin1Char('/') + kId + QStringLiteral(".redirect"); }

void writeRedirect(const QByteArray& content)
{
    QDir().mkpath(QFileInfo(redirectFile()).absolutePath());
    QFile f(redirectFile());
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
}

} // namespace

class TestDataRoot : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { QFile::remove(redirectFile()); }

    void dataRootIsCreatedFixedAndRecreated()
    {
        const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        QVERIFY(dataHome.startsWith(testsupport::sandboxDir()));
        const QString expected = QDir(dataHome).absoluteFilePath(QStringLiteral("QuillHarbor/") + kId);
        QVERIFY(!QFileInfo::exists(expected));
        QCOMPARE(getDataDir().absolutePath(), expected);
        QCOMPARE(getLocalDatabasesDir().absolutePath(), expected + QStringLiteral("/local_databases"));
        QVERIFY(QFileInfo(expected + QStringLiteral("/local_databases")).isDir());

        // A redirect written later does not move it; deleting it makes it again.
        const QString target = testsupport::makeTempDir(QStringLiteral("later-redirect"));
        writeRedirect(target.toUtf8());
        QVERIFY(QDir(expected).removeRecursively());
        QCOMPARE(getLocalDatabasesDir().absolutePath(), expected + QStringLiteral("/local_databases"));
        QVERIFY(QFileInfo(expected + QStringLiteral("/local_databases")).isDir());
        QVERIFY(!QFileInfo::exists(target + QLatin1Char('/') + kId));
    }

    void redirectFileMovesTheDataRoot_data()
    {
        QTest::addColumn<QByteArray>("suffix"); // appended to the target path in the file
        QTest::addColumn<bool>("followed");
        QTest::newRow("exact path") << QByteArray() << true;
        QTest::newRow("zero byte ends the path") << QByteArray("\0garbage", 8) << true;
        QTest::newRow("trailing line break") << QByteArray("\n") << false;
        QTest::newRow("dangling target") << QByteArray("/missing") << false;
        QTest::newRow("empty file") << QByteArray("empty") << false;
    }
    void redirectFileMovesTheDataRoot()
    {
        QFETCH(QByteArray, suffix);
        QFETCH(bool, followed);
        const QString target = testsupport::makeTempDir(QStringLiteral("redirect Zoë"));
        writeRedirect(suffix == "empty" ? QByteArray() : target.toUtf8() + suffix);
        QCOMPARE(readRedirectDir(), followed ? target : QString());
        QCOMPARE(dataroot::resolveDataDir(),
            followed ? QDir(target).absoluteFilePath(kId) : getMakerDataDir() + QLatin1Char('/') + kId);
    }
};

QTEST_GUILESS_MAIN(TestDataRoot)
#include "test_dataroot.moc"
