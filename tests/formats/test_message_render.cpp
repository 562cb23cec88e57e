// Message body rendering: HTML escaping with emoji, the bubble markup, and
// the contact card picture of vCard attachments, whose photo is read by the
// picture reader.
#include "formats/bubblehtml.h"
#include "formats/messageassets.h"
#include "formats/messagevcardpicture.h"
#include "message_testdata.h"
#include "shell/core/fileutils.h"

#include "decodewatch.h"
#include "testpictures.h"

#include <QFileInfo>

static QString emojiTag(const char* code)
{
    return QStringLiteral("<img src=\"emoji/%1.png\" />").arg(QLatin1String(code));
}

class TestMessageRender : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void escapeHtml_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("html");
        QTest::newRow("ampersand first") << QStringLiteral("a &lt; b < c > d & e")
                                         << QStringLiteral("a &amp;lt; b &lt; c &gt; d &amp; e");
        QTest::newRow("line breaks") << QStringLiteral("one\r\ntwo\nthree\rfour")
                                     << QStringLiteral("one<br/>two<br/>three\rfour");
        QTest::newRow("1 MB") << QString(1024 * 1024, QLatin1Char('&'))
                              << QStringLiteral("&amp;").repeated(1024 * 1024);
        QTest::newRow("E000") << QString(QChar(0xE000)) << emojiTag("E000");
        QTest::newRow("E537") << QString(QChar(0xE537)) << emojiTag("E537");
        QTest::newRow("E538 not ours") << QString(QChar(0xE538)) << QString(QChar(0xE538));
        QTest::newRow("2714") << QStringLiteral("ok \u2714!")
                              << QStringLiteral("ok ") + emojiTag("2714") + QStringLiteral("!");
        QTest::newRow("pair") << QStringLiteral("\U0001F604") << emojiTag("1F604");
        QTest::newRow("pair not ours") << QStringLiteral("\U0001F914") << QStringLiteral("\U0001F914");
        // One pass over the text: a replacement is never read again.
        QTest::newRow("high surrogate before E001") << QString(QChar(0xD83D)) + QChar(0xE001) << emojiTag("1F801");
        QTest::newRow("script") << QStringLiteral("<script>alert('x')</script><img src=x onerror=y>")
                                << QStringLiteral("&lt;script&gt;alert('x')&lt;/script&gt;&lt;img src=x onerror=y&gt;");
        QTest::newRow("controls") << QStringLiteral("a\x01\tb\x7f") << QStringLiteral("a\uFFFD\tb\uFFFD");
        const QString lone = QString(QChar(0xDC00)) + QStringLiteral("x");
        QTest::newRow("lone surrogate") << lone << lone;
    }

    void escapeHtml()
    {
        QFETCH(QString, text);
        QTEST(BubbleHtml::escapeHtml(text), "html");
    }

    // The sender's name and attribute values are escaped; the content is
    // not touched.
    void bubbleAndAttributesAreEscaped()
    {
        const QString bubble
            = BubbleHtml::makeBubble(QStringLiteral("<b>x</b>"), false, QStringLiteral("Tom & <Jerry>"));
        QVERIFY(bubble.startsWith(QStringLiteral("<div class=\"ct_left\">Tom &amp; &lt;Jerry&gt;</div>")));
        QVERIFY(bubble.contains(QStringLiteral("</div><b>x</b></div>")));
        QCOMPARE(htmlAttribute(QStringLiteral("a\"b'c<d>&e")), QStringLiteral("a&quot;b&#39;c&lt;d&gt;&amp;e"));
    }

    void vcardPicture_madeOnceInPrivateFolder()
    {
        const QString dir = testsupport::makeTempDir(QStringLiteral("vcard"));
        const QString vcf = dir + QStringLiteral("/contact.vcf");
        QVERIFY(QFile::copy(testsupport::sourceDir() + QStringLiteral("/tests/formats/message_data/contact.vcf"), vcf));
        const QString picture = vcardToHtml(vcf);
        QCOMPARE(QFileInfo(picture).fileName(), md5Hex(vcf) + QStringLiteral(".jpg"));
        const QImage image(picture, "JPEG");
        QCOMPARE(image.size(), QSize(200, 90));
        int dark = 0; // the text column on the card
        for (int i = 0; i < 80 * 130; ++i)
            dark += qGray(image.pixel(60 + i % 130, 5 + i / 130)) < 100 ? 1 : 0;
        QVERIFY2(dark > 50, "no text drawn on the card");

        // Private: not the shared temporary folder, the user alone may enter.
        const QFileInfo folder(QFileInfo(picture).absolutePath());
        QVERIFY(!folder.absoluteFilePath().startsWith(QDir::tempPath()));
        QCOMPARE(folder.permissions() & (QFile::ReadOther | QFile::WriteOther | QFile::ExeOther), QFile::Permissions());

        // Served from the cache afterwards, even when the vCard is gone.
        QVERIFY(QFile::remove(vcf));
        QCOMPARE(vcardToHtml(vcf), picture);
        // No card, no file: no picture.
        QCOMPARE(vcardToHtml(writeFile(dir + QStringLiteral("/plain.vcf"), "just some text\r\nFN:nobody\r\n")),
                 QString());
        QCOMPARE(vcardToHtml(dir + QStringLiteral("/missing.vcf")), QString());
    }

    // A card's photo is read by the picture reader: the bombs give the card
    // of no photo, never decoded; a real photo is drawn; a card stopped is
    // neither made nor kept.
    void vcardPicture_photoReadWithinTheReadersBounds()
    {
        VCardSummary card;
        card.fullName = QStringLiteral("Ann");
        const QImage none = renderVCardImage(200, 90, card);
        testsupport::DecodeWatch decodes;
        for (const QByteArray& bomb : {testpictures::scanBomb(), testpictures::chunkBomb()}) {
            card.photo = bomb;
            QCOMPARE(renderVCardImage(200, 90, card), none);
        }
        card.photo = testpictures::encoded(testpictures::filled(60, 80, Qt::red), "JPG");
        QVERIFY(testpictures::shows(renderVCardImage(200, 90, card), Qt::red, QPoint(12, 12)));
        QCOMPARE(decodes.count(), 1);
        const QString vcf
            = writeFile(testsupport::makeTempDir(QStringLiteral("stopped")) + QStringLiteral("/a.vcf"),
                        "BEGIN:VCARD\r\nFN:Ann\r\nPHOTO;ENCODING=b:" + card.photo.toBase64() + "\r\nEND:VCARD\r\n");
        const std::atomic_bool stop {true};
        QCOMPARE(vcardToHtml(vcf, &stop), QString());
        QVERIFY(QFileInfo(vcardToHtml(vcf)).isFile());
    }
};

QTEST_MAIN(TestMessageRender)
#include "test_message_render.moc"
