#include "shell/core/dataroot.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QtTest>

namespace {

const QString kId = QLatin1String(dataroot::kProductId);

QString redirectFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/QuillHarbor/") + kId
        + QStringLiteral(".redirect");
}

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

private:
    QString m_dataHome;

private Q_SLOTS:
    void initTestCase()
    {
        m_dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        QVERIFY(!m_dataHome.isEmpty());
        // Everything here must happen inside the test's own folders.
        QVERIFY(m_dataHome.startsWith(testsupport::sandboxDir()));
    }
    void cleanup() { QFile::remove(redirectFile()); }

    void dataRootLiesUnderTheMakerFolderAndIsCreated()
    {
        const QString expected = QDir(m_dataHome).absoluteFilePath(QStringLiteral("QuillHarbor/") + kId);
        QCOMPARE(getAppDataDir().absolutePath(), QDir(m_dataHome).absolutePath());
        QCOMPARE(getMakerDataDir(), QDir(m_dataHome).absoluteFilePath(QStringLiteral("QuillHarbor")));
        QVERIFY(!QFileInfo::exists(expected));

        QCOMPARE(getDataDir().absolutePath(), expected);
        QVERIFY(QFileInfo(expected).isDir());
        QCOMPARE(getLocalDatabasesDir().absolutePath(), expected + QStringLiteral("/local_databases"));
        QVERIFY(QFileInfo(expected + QStringLiteral("/local_databases")).isDir());
    }

    void locationIsFixedByTheFirstCallAndRecreatedWhenDeleted()
    {
        const QString first = getDataDir().absolutePath();
        const QString target = testsupport::makeTempDir(QStringLiteral("later-redirect"));
        writeRedirect(target.toUtf8());
        QCOMPARE(getDataDir().absolutePath(), first);
        QVERIFY(!QFileInfo::exists(target + QLatin1Char('/') + kId));

        QVERIFY(QDir(first).removeRecursively());
        QCOMPARE(getDataDir().absolutePath(), first);
        QVERIFY(QFileInfo(first).isDir());
        QCOMPARE(getLocalDatabasesDir().absolutePath(), first + QStringLiteral("/local_databases"));
        QVERIFY(QFileInfo(first + QStringLiteral("/local_databases")).isDir());
    }

    void redirectFileMovesTheDataRoot_data()
    {
        QTest::addColumn<QByteArray>("suffix"); // appended to the target path in the file
        QTest::addColumn<bool>("followed");
        QTest::newRow("exact path") << QByteArray() << true;
        QTest::newRow("zero byte ends the path") << QByteArray("\0garbage", 8) << true;
        QTest::newRow("trailing line break") << QByteArray("\n") << false;
        QTest::newRow("dangling target") << QByteArray("/missing") << false;
    }
    void redirectFileMovesTheDataRoot()
    {
        QFETCH(QByteArray, suffix);
        QFETCH(bool, followed);
        const QString target = testsupport::makeTempDir(QStringLiteral("redirect Zoë"));
        writeRedirect(target.toUtf8() + suffix);
        const QString maker = getMakerDataDir() + QLatin1Char('/') + kId;
        if (followed) {
            QCOMPARE(readRedirectDir(), target);
            QCOMPARE(dataroot::resolveDataDir(), QDir(target).absoluteFilePath(kId));
        } else {
            QCOMPARE(readRedirectDir(), QString());
            QCOMPARE(dataroot::resolveDataDir(), maker);
        }
    }

    void missingOrEmptyRedirectIsIgnored()
    {
        QCOMPARE(readRedirectDir(), QString());
        writeRedirect(QByteArray());
        QCOMPARE(readRedirectDir(), QString());
        QCOMPARE(dataroot::resolveDataDir(), getMakerDataDir() + QLatin1Char('/') + kId);
    }
};

QTEST_GUILESS_MAIN(TestDataRoot)
#include "test_dataroot.moc"
