// A picture the Messages page shows of a message part, and the thumbnail
// file made of it, are the file's bytes alone: every format and kind the
// reader reads, whole and cut at many points, read in processes whose
// heaps hold other bytes, gives the same pixels and the same thumbnail.
#include "testpictures.h"
#include "testsupport.h"

#include <QProcess>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// Every kind of picture the reader reads, named.
QList<std::pair<QString, QByteArray>> kinds()
{
    using testpictures::BmpShape;
    const QImage photo = testpictures::detailedPhoto(203, 151, 2);
    QList<std::pair<QString, QByteArray>> files {
        {u"baseline.jpg"_s, testpictures::encoded(photo, "JPG")},
        {u"progressive.jpg"_s, testpictures::encoded(photo, "JPG", true)},
        {u"grey.jpg"_s, testpictures::encoded(testpictures::greys(203, 151), "JPG")},
        {u"turned.jpg"_s, testpictures::withOrientation(testpictures::encoded(photo, "JPG"), 6)},
        {u"grey1.png"_s, testpictures::pngOf(203, 31, 0, 1)},
        {u"palette4.png"_s, testpictures::pngOf(203, 31, 3, 4, true)},
        {u"rgb8.png"_s, testpictures::pngOf(203, 31, 2, 8)},
        {u"rgba16.png"_s, testpictures::pngOf(203, 31, 6, 16)},
        {u"rgb16-transparent.png"_s, testpictures::pngOf(203, 31, 2, 16, true)},
        {u"plain.gif"_s, testpictures::gif(testpictures::greys(203, 151))},
        {u"interlaced.gif"_s, testpictures::gif(testpictures::greys(203, 151), {.interlaced = true})},
        {u"framed.gif"_s,
         testpictures::gif(testpictures::greys(150, 100),
                           {.screen = QSize(203, 151), .at = QPoint(20, 30), .transparent = 9})},
        {u"own-table.gif"_s,
         testpictures::gif(testpictures::greys(203, 151),
                           {.ownTable = true, .moreFrames = {testpictures::greys(203, 151)}})},
        {u"framed-own-table.gif"_s,
         testpictures::gif(testpictures::greys(150, 100),
                           {.screen = QSize(203, 151), .at = QPoint(20, 30), .background = 3, .ownTable = true})},
        {u"1.bmp"_s, testpictures::bmp(testpictures::indexed(203, 151, 2), {.bits = 1})},
        {u"4.bmp"_s, testpictures::bmp(testpictures::indexed(203, 151, 16), {.bits = 4})},
        {u"8.bmp"_s, testpictures::bmp(testpictures::indexed(203, 151, 256), {.bits = 8})},
        {u"8-os2.bmp"_s, testpictures::bmp(testpictures::indexed(203, 151, 256), {.bits = 8, .os2 = true})},
        {u"16.bmp"_s, testpictures::bmp(photo, {.bits = 16})},
        {u"16-565.bmp"_s, testpictures::bmp(photo, {.bits = 16, .fields565 = true})},
        {u"24.bmp"_s, testpictures::bmp(testpictures::detailedPhoto(200, 150, 1), {})},
        {u"24-os2-top-down.bmp"_s, testpictures::bmp(photo, {.os2 = true, .topDown = true})},
        {u"32.bmp"_s, testpictures::bmp(photo, {.bits = 32})},
        {u"32-alpha.bmp"_s,
         testpictures::bmp(photo.convertToFormat(QImage::Format_ARGB32), {.bits = 32, .alpha = true})},
        {u"rle8.bmp"_s, testpictures::bmp(testpictures::indexed(203, 151, 200), {.bits = 8, .rle = true})},
        {u"rle4.bmp"_s, testpictures::bmp(testpictures::indexed(203, 151, 16), {.bits = 4, .rle = true})},
    };
    // Values past a colour table of few entries, at every depth.
    using testpictures::withShortTable;
    files += {
        {u"1-past.bmp"_s, testpictures::bmp(withShortTable(testpictures::indexed(203, 151, 2), 1), {.bits = 1})},
        {u"4-past.bmp"_s, testpictures::bmp(withShortTable(testpictures::indexed(203, 151, 16), 3), {.bits = 4})},
        {u"8-past1.bmp"_s, testpictures::bmp(withShortTable(testpictures::indexed(203, 151, 256), 1), {.bits = 8})},
        {u"8-past2.bmp"_s, testpictures::bmp(withShortTable(testpictures::indexed(203, 151, 256), 2), {.bits = 8})},
        {u"8-past5.bmp"_s, testpictures::bmp(withShortTable(testpictures::indexed(203, 151, 256), 5), {.bits = 8})},
        {u"rle4-past.bmp"_s,
         testpictures::bmp(withShortTable(testpictures::speckled(203, 151, 16), 3), {.bits = 4, .rle = true})},
        {u"rle8-past.bmp"_s,
         testpictures::bmp(withShortTable(testpictures::speckled(203, 151, 200), 5), {.bits = 8, .rle = true})},
        {u"rle4-speckled.bmp"_s, testpictures::bmp(testpictures::speckled(203, 151, 16), {.bits = 4, .rle = true})},
    };
    // RLE pixels that begin past the end of the file.
    QByteArray beyond = testpictures::bmp(testpictures::indexed(203, 151, 16), {.bits = 4, .rle = true});
    beyond.replace(10, 4, testpictures::field(quint32(beyond.size() + 1000), 4, true));
    files.append({u"rle4-data-beyond.bmp"_s, beyond});
    // LZW data overwritten: codes of entries not made, a picture unfilled.
    QByteArray damaged = testpictures::gif(testpictures::greys(203, 151));
    for (qsizetype at = 800; at < damaged.size() - 2; at += 7)
        damaged[at] = char(at * 31);
    files.append({u"damaged.gif"_s, damaged});
    return files;
}

} // namespace

class TestShownPictures : public QObject {
    Q_OBJECT

private slots:
    void aPictureShownIsItsFilesBytesAlone()
    {
        QLoggingCategory::setFilterRules(u"qt.gui.imageio*=false"_s); // a complaint of each cut
        const QString dir = testsupport::makeTempDir(u"shown"_s);
        QStringList paths;
        int whole = 0;
        for (const auto& [name, bytes] : kinds()) {
            QList<qsizetype> cuts {bytes.size(), bytes.size() - 1, 300};
            for (int k = 1; k < 8; ++k)
                cuts << bytes.size() * k / 8;
            for (const qsizetype n : cuts) {
                const QString path = dir + u"/%1-%2"_s.arg(n).arg(name);
                if (n > bytes.size() || QFile::exists(path))
                    continue;
                QFile file(path);
                QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes.left(n)) == n);
                paths << path;
            }
            ++whole;
        }
        const auto digests = [&paths](int fill, const QString& perturb) {
            QProcess tool;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(u"MALLOC_PERTURB_"_s, perturb);
            tool.setProcessEnvironment(environment);
            tool.start(QStringLiteral(SHOWN_DIGEST), QStringList {u"--fill"_s, QString::number(fill)} + paths);
            if (!tool.waitForFinished(testsupport::kHangGuardMs)) // a hang guard
                tool.kill();
            return QString::fromLatin1(tool.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        };
        const QStringList first = digests(0x5A, u"85"_s);
        const QStringList second = digests(0xC3, u"170"_s);
        QCOMPARE(first.size(), paths.size());
        QCOMPARE(second.size(), first.size());
        int differ = 0;
        int shown = 0;
        for (qsizetype i = 0; i < first.size(); ++i) {
            if (!first.at(i).contains(u" - "_s))
                ++shown;
            if (first.at(i) != second.at(i)) {
                qWarning("%s\n%s", qPrintable(first.at(i)), qPrintable(second.at(i)));
                ++differ;
            }
        }
        QCOMPARE(differ, 0);
        QVERIFY2(shown >= whole, qPrintable(QString::number(shown)));
    }
};

QTEST_GUILESS_MAIN(TestShownPictures)
#include "test_shownpictures.moc"
