// When two parts are one picture: the same bytes, copies of one origin, or
// one the copy a transfer makes of the other (scaled, encoded anew), found
// without encoding pictures that cannot be such a copy; names decide only
// where the bytes of one side are gone. The encodings of many pictures
// stop soon after a cancel.
#include "messagestore/partbytes.h"

#include "testsupport.h"

#include <QImage>
#include <QtTest>

#include <deque>

using namespace Qt::StringLiterals;

namespace {

const QString kJpeg = u"image/jpeg"_s;

QString writeImage(const QString& path, int width, int height, const QColor& colour, const char* format = "JPG")
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    image.save(path, format);
    return path;
}

QString writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return path;
}

} // namespace

class TestPartBytes : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { m_dir = testsupport::makeTempDir(u"parts"_s); }

    void aPictureAndItsCopiesAreOne()
    {
        const QString original = writeImage(m_dir + u"/a.jpg"_s, 2000, 1500, Qt::darkRed);
        const QString copy = writeBytes(m_dir + u"/copy.jpg"_s, encodedImage(original, kJpeg));
        const QString copyOfCopy = writeBytes(m_dir + u"/copy2.jpg"_s, encodedImage(copy, kJpeg));
        QCOMPARE(QImage(copy).size(), QSize(1080, 810));

        // Either way round, the copy is found by encoding the original.
        for (bool originalFirst : {true, false}) {
            PartBytes a(original, kJpeg);
            PartBytes b(copy, kJpeg);
            QCOMPARE(originalFirst ? matchParts(a, b) : matchParts(b, a), PartMatch::Same);
            QVERIFY(a.sentWorkedOut());
        }
        // Known as what a transfer sends of it, or by their origin: nothing
        // is encoded.
        const PartContent originalBytes = contentOfFile(original);
        PartBytes known(original, kJpeg, originalBytes, PartIdentity {contentOfFile(copy), PartContent()});
        PartBytes copied(copy, kJpeg);
        QCOMPARE(matchParts(copied, known), PartMatch::Same);
        PartBytes chained(copyOfCopy, kJpeg, PartContent(), PartIdentity {PartContent(), originalBytes});
        PartBytes first(original, kJpeg);
        QCOMPARE(matchParts(first, chained), PartMatch::Same);
        PartBytes sibling(copy, kJpeg, PartContent(), PartIdentity {PartContent(), originalBytes});
        QCOMPARE(matchParts(sibling, chained), PartMatch::Same);
        QVERIFY(!known.sentWorkedOut() && !first.sentWorkedOut() && !chained.sentWorkedOut());
    }

    void otherPicturesStayOther_andOnlyPossibleCopiesAreEncoded()
    {
        const QString big = writeImage(m_dir + u"/big.jpg"_s, 2000, 1500, Qt::darkRed);
        const QString otherBig = writeImage(m_dir + u"/other.jpg"_s, 2000, 1500, Qt::darkBlue);
        const QString small = writeImage(m_dir + u"/small.jpg"_s, 1080, 810, Qt::darkBlue);
        const QString png = writeImage(m_dir + u"/small.png"_s, 1080, 810, Qt::darkRed, "PNG");
        // Neither can be what a transfer made of the other (the copy of a
        // large picture is 1080 pixels long): no encoding.
        PartBytes a(big, kJpeg);
        PartBytes b(otherBig, kJpeg);
        QCOMPARE(matchParts(a, b), PartMatch::Different);
        QVERIFY(!a.sentWorkedOut() && !b.sentWorkedOut());
        // Of the size a copy would have, another colour: encoded, and told
        // apart; a PNG is no copy of a JPEG.
        PartBytes c(big, kJpeg);
        PartBytes d(small, kJpeg);
        QCOMPARE(matchParts(c, d), PartMatch::Different);
        QVERIFY(c.sentWorkedOut());
        PartBytes e(big, kJpeg);
        PartBytes f(png, u"image/png"_s);
        QCOMPARE(matchParts(e, f), PartMatch::Different);
        QVERIFY(!e.sentWorkedOut());
        // Asked without encoding, the part that would need it is named.
        PartBytes g(big, kJpeg);
        PartBytes h(small, kJpeg);
        QList<PartBytes*> toWorkOut;
        QCOMPARE(matchParts(g, h, &toWorkOut), PartMatch::NeedsSent);
        QCOMPARE(toWorkOut, QList<PartBytes*> {&g});
        QVERIFY(!g.sentWorkedOut());
    }

    void noDecoderReadsIt_orItsFileIsGone()
    {
        // Not a picture a decoder reads: it goes as it is, and its bytes
        // decide.
        const QString odd = writeBytes(m_dir + u"/odd.jpg"_s, "not a picture");
        const QString same = writeBytes(m_dir + u"/same.jpg"_s, "not a picture");
        PartBytes a(odd, kJpeg);
        QCOMPARE(a.asSent(), contentOfFile(odd));
        PartBytes b(same, kJpeg);
        QVERIFY(samePart(a, u"x.jpg"_s, b, u"y.jpg"_s));
        // A file gone on one side: the names as a load gives them decide,
        // case aside.
        PartBytes gone(m_dir + u"/gone.jpg"_s, kJpeg);
        QVERIFY(samePart(a, u"Photo"_s, gone, u"photo.JPG"_s));
        QVERIFY(!samePart(a, u"photo.jpg"_s, gone, u"photo-2.jpg"_s));
        QCOMPARE(matchParts(a, gone), PartMatch::Unknown);
        // What a transfer sends of a file that is gone is not known.
        PartBytes recorded(m_dir + u"/gone.jpg"_s, kJpeg, contentOfFile(odd));
        recorded.asSent();
        QVERIFY(!recorded.sentWorkedOut());
        QVERIFY(recorded.identity().isEmpty());
    }

    // A copy of a copy is one picture with the first: by the origin its
    // store recorded, or, where none is known, as the encoding of the
    // encoding. A recorded copy that matches nothing (another encoder's) is
    // checked against this one's before two pictures are called different.
    // A 16:9 photo's copy is a pixel off the arithmetic of its size.
    void copiesOfCopies_andRecordsOfAnotherEncoder()
    {
        QImage image(1920, 1080, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, qRgb((x * x + y) & 0xff, (x + y * y) & 0xff, (x ^ y) & 0xff));
        const QString original = m_dir + u"/wide.jpg"_s;
        QVERIFY(image.save(original, "JPG"));
        const QString copy = writeBytes(m_dir + u"/copy.jpg"_s, encodedImage(original, kJpeg));
        const QString copyOfCopy = writeBytes(m_dir + u"/copy2.jpg"_s, encodedImage(copy, kJpeg));
        QCOMPARE(QImage(copy).size(), QSize(1080, 608));
        QVERIFY(contentOfFile(copyOfCopy) != contentOfFile(copy));

        PartBytes first(original, kJpeg);
        PartBytes recorded(copyOfCopy, kJpeg, PartContent(), PartIdentity {PartContent(), contentOfFile(copy)});
        QCOMPARE(matchParts(first, recorded), PartMatch::Same);
        QVERIFY(first.secondCopies().isEmpty());
        PartBytes again(original, kJpeg);
        PartBytes unknown(copyOfCopy, kJpeg);
        QCOMPARE(matchParts(unknown, again), PartMatch::Same);
        QCOMPARE(again.secondCopies().size(), 1);
        // Another picture of that size stays another, also as a copy of a copy.
        image.fill(Qt::darkGreen);
        const QString other = m_dir + u"/other.jpg"_s;
        QVERIFY(image.save(other, "JPG"));
        PartBytes otherOne(other, kJpeg);
        PartBytes unknownToo(copyOfCopy, kJpeg);
        QCOMPARE(matchParts(otherOne, unknownToo), PartMatch::Different);

        PartBytes stale(original, kJpeg, PartContent(),
                        PartIdentity {contentOfBytes("another encoder's"), PartContent()});
        PartBytes copied(copy, kJpeg);
        QCOMPARE(matchParts(stale, copied), PartMatch::Same);
        QVERIFY(stale.sentWorkedOut());
        QCOMPARE(stale.identity().sent, contentOfFile(copy));
    }

    // A cancel stops the work: what the stop cut short is not taken for
    // worked out (nor for a picture that goes as it is), and the next run
    // works out the rest, its progress heard in order.
    void workOutSent_stopsAtACancel_andTakesNothingCutShort()
    {
        std::deque<PartBytes> parts;
        QList<PartBytes*> all;
        for (int i = 0; i < 32; ++i) {
            const QString path = writeImage(m_dir + u"/p%1.jpg"_s.arg(i), 2400, 1800, QColor::fromHsv(i * 5, 200, 200));
            all.append(&parts.emplace_back(path, kJpeg));
        }
        bool cancelled = false;
        try {
            PartBytes::workOutSent(all, [] { throw -1; });
        } catch (int) {
            cancelled = true;
        }
        QVERIFY(cancelled);
        for (PartBytes& part : parts) {
            if (part.sentKnown())
                QCOMPARE(part.asSent(), contentOfBytes(encodedImage(part.path(), kJpeg)));
        }

        QList<int> heard;
        PartBytes::workOutSent(
            all, [] {},
            [&heard](int done, int total) {
                QCOMPARE(total, 32);
                heard.append(done);
            });
        QCOMPARE(heard.size(), 32);
        QVERIFY(std::is_sorted(heard.cbegin(), heard.cend()));
        QVERIFY(std::all_of(parts.begin(), parts.end(), [](PartBytes& p) {
            return p.sentWorkedOut() && p.asSent() == contentOfBytes(encodedImage(p.path(), kJpeg));
        }));
    }

private:
    QString m_dir;
};

QTEST_GUILESS_MAIN(TestPartBytes)
#include "test_partbytes.moc"
