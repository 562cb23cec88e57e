// Message body rendering: HTML escaping with emoji, the bubble markup, and
// the contact card picture of vCard attachments.
#include "formats/bubblehtml.h"
#include "formats/messageassets.h"
#include "formats/messagevcardpicture.h"
#include "messagestore/emoji.h"
#include "shell/core/fileutils.h"
#include "testsupport.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QtTest>

class TestMessageRender : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void escapeHtml_escapesAmpersandFirstAndBreaksLines();
    void escapeHtml_emojiRangesAndPairs();
    void escapeHtml_badInputStaysText();
    void makeBubble_markup();
    void attributesAndLinks_areEscaped();
    void vcardSummary_takesFirstCardAndLastValues();
    void vcardPicture_madeOnceInPrivateFolder();
    void vcardPicture_noCardOrNoFileGivesEmpty();
};

void TestMessageRender::escapeHtml_escapesAmpersandFirstAndBreaksLines()
{
    QCOMPARE(BubbleHtml::escapeHtml(QStringLiteral("a &lt; b < c > d & e")),
             QStringLiteral("a &amp;lt; b &lt; c &gt; d &amp; e"));
    QCOMPARE(BubbleHtml::escapeHtml(QStringLiteral("one\r\ntwo\nthree\rfour")),
             QStringLiteral("one<br/>two<br/>three\rfour"));
    // Quotes are element content here, left alone.
    QCOMPARE(BubbleHtml::escapeHtml(QStringLiteral("\"q\" 'a'")), QStringLiteral("\"q\" 'a'"));
    QCOMPARE(BubbleHtml::escapeHtml(QString()), QString());
}

void TestMessageRender::escapeHtml_emojiRangesAndPairs()
{
    const auto tag = [](const char* code) { return QStringLiteral("<img src=\"emoji/%1.png\" />").arg(QLatin1String(code)); };
    QCOMPARE(BubbleHtml::escapeHtml(QString(QChar(0xE000))), tag("E000"));
    QCOMPARE(BubbleHtml::escapeHtml(QString(QChar(0xE537))), tag("E537"));
    QCOMPARE(BubbleHtml::escapeHtml(QString(QChar(0xE538))), QString(QChar(0xE538)));
    QCOMPARE(BubbleHtml::escapeHtml(QString(QChar(0xE5FF))), QString(QChar(0xE5FF)));
    QCOMPARE(BubbleHtml::escapeHtml(QStringLiteral("ok \u2714!")), QStringLiteral("ok ") + tag("2714") + QStringLiteral("!"));
    QCOMPARE(BubbleHtml::escapeHtml(QStringLiteral("\U0001F604")), tag("1F604"));
    // A pair behind U+D83E is not one of ours.
    const QString other = QStringLiteral("\U0001F914");
    QCOMPARE(BubbleHtml::escapeHtml(other), other);
    QCOMPARE(replaceEmoji(QStringLiteral("a\u2714b\U0001F604"), emojiToPlaceholder, nullptr),
             QStringLiteral("a[EMOJI]b[EMOJI]"));
    // The emoji pictures the build draws cover what the escaping refers to.
    for (const char* code : {"E001", "2714", "1F604", "203C", "1F680"}) {
        const QString png = testsupport::appBinDir() + QStringLiteral("/emoji/") + QLatin1String(code) + QStringLiteral(".png");
        QVERIFY2(!QImage(png).isNull(), qPrintable(png));
    }
}

void TestMessageRender::escapeHtml_badInputStaysText()
{
    // Markup and script arrive as text.
    const QString html = BubbleHtml::escapeHtml(QStringLiteral("<script>alert('x')</script><img src=x onerror=y>"));
    QVERIFY(!html.contains(QLatin1Char('<')));
    QCOMPARE(html, QStringLiteral("&lt;script&gt;alert('x')&lt;/script&gt;&lt;img src=x onerror=y&gt;"));
    // Control characters that markup cannot carry are replaced; TAB stays.
    QCOMPARE(BubbleHtml::escapeHtml(QStringLiteral("a\x01\tb\x7f")),
             QStringLiteral("a\uFFFD\tb\uFFFD"));
    // A lone surrogate does not take the following text with it.
    const QString lone = QString(QChar(0xDC00)) + QStringLiteral("x");
    QCOMPARE(BubbleHtml::escapeHtml(lone), lone);
    QVERIFY(!BubbleHtml::escapeHtml(lone).toUtf8().isEmpty());
    // A megabyte of text comes back whole.
    const QString big(1024 * 1024, QLatin1Char('&'));
    QCOMPARE(BubbleHtml::escapeHtml(big).size(), big.size() * 5);
}

void TestMessageRender::makeBubble_markup()
{
    const QString slices = QStringLiteral(
        "<div class=\"bb_bg top_left\"></div><div class=\"bb_bg top_middle\"></div><div class=\"bb_bg top_right\"></div>"
        "<div class=\"bb_bg middle_left\"></div><div class=\"bb_bg middle_middle\"></div><div class=\"bb_bg middle_right\"></div>"
        "<div class=\"bb_bg bottom_left\"></div><div class=\"bb_bg bottom_middle\"></div><div class=\"bb_bg bottom_right\"></div>");
    QCOMPARE(BubbleHtml::makeBubble(QStringLiteral("hi"), false, QString()),
             QStringLiteral("<div class=\"bb1\">") + slices + QStringLiteral("hi</div><div class=\"clear\"></div>"));
    QCOMPARE(BubbleHtml::makeBubble(QStringLiteral("<b>x</b>"), true, QString()),
             QStringLiteral("<div class=\"bb2\">") + slices + QStringLiteral("<b>x</b></div><div class=\"clear\"></div>"));
    // The sender name is escaped, the content is not touched.
    const QString named = BubbleHtml::makeBubble(QStringLiteral("c"), false, QStringLiteral("Tom & <Jerry>"));
    QVERIFY(named.startsWith(QStringLiteral(
        "<div class=\"ct_left\">Tom &amp; &lt;Jerry&gt;</div><div class=\"clear\"></div><div class=\"bb1\">")));
}

void TestMessageRender::attributesAndLinks_areEscaped()
{
    QCOMPARE(htmlAttribute(QStringLiteral("a\"b'c<d>&e")), QStringLiteral("a&quot;b&#39;c&lt;d&gt;&amp;e"));
    QCOMPARE(relativeFileLink(QStringLiteral("files"), QStringLiteral("a b#c?.jpg")),
             QStringLiteral("files/a%20b%23c%3F.jpg"));
    QCOMPARE(relativeFileLink(QStringLiteral("files"), QStringLiteral("\"onclick=x.jpg")),
             QStringLiteral("files/%22onclick%3Dx.jpg"));
}

void TestMessageRender::vcardSummary_takesFirstCardAndLastValues()
{
    QByteArray text = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:First\r\nfn:Second\r\n";
    for (int i = 1; i <= 6; ++i)
        text += "TEL:+1555000" + QByteArray::number(i) + "\r\n";
    text += "ORG:Acme;Sales\r\nTITLE:Boss\r\nBDAY:1980-05-17\r\nEND:VCARD\r\n"
            "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Other card\r\nEND:VCARD\r\n";
    VCardSummary s;
    QVERIFY(readVCardSummary(text, &s));
    QCOMPARE(s.fullName, QStringLiteral("Second"));
    QCOMPARE(s.phones.size(), 6);
    QCOMPARE(s.organization, QStringLiteral("Acme;Sales"));
    QCOMPARE(s.birthday, QStringLiteral("1980-05-17"));
    QVERIFY(!readVCardSummary("no card here", &s));
}

void TestMessageRender::vcardPicture_madeOnceInPrivateFolder()
{
    const QString dir = testsupport::makeTempDir(QStringLiteral("vcard"));
    const QString vcf = dir + QStringLiteral("/contact.vcf");
    {
        QFile f(vcf);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QByteArray text = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Dana Card\r\n";
        for (int i = 1; i <= 6; ++i)
            text += "TEL:+1555000" + QByteArray::number(i) + "\r\n";
        text += "EMAIL:dana@example.org\r\nADR:;;1 Main St;Town;;12345;Land\r\nEND:VCARD\r\n";
        f.write(text);
    }
    const QString picture = vcardToHtml(vcf);
    QVERIFY(!picture.isEmpty());
    QCOMPARE(QFileInfo(picture).fileName(), md5Hex(vcf) + QStringLiteral(".jpg"));
    const QImage image(picture, "JPEG");
    QCOMPARE(image.size(), QSize(200, 90));
    // The card is drawn on its background with dark text in the column.
    QVERIFY(qAbs(QColor(image.pixel(199 - 3, 45)).blue() - 237) < 16);
    int dark = 0;
    for (int y = 5; y < 85; ++y)
        for (int x = 60; x < 190; ++x)
            dark += qGray(image.pixel(x, y)) < 100 ? 1 : 0;
    QVERIFY2(dark > 50, "no text drawn on the card");

    // Private: not the shared temporary folder, the user alone may enter.
    const QFileInfo folder(QFileInfo(picture).absolutePath());
    QVERIFY(!folder.absoluteFilePath().startsWith(QDir::tempPath()));
    QCOMPARE(folder.permissions() & (QFile::ReadOther | QFile::WriteOther | QFile::ExeOther), QFile::Permissions());

    // Served from the cache afterwards, even when the vCard is gone.
    QVERIFY(QFile::remove(vcf));
    QCOMPARE(vcardToHtml(vcf), picture);
}

void TestMessageRender::vcardPicture_noCardOrNoFileGivesEmpty()
{
    const QString dir = testsupport::makeTempDir(QStringLiteral("vcard-bad"));
    const QString notCard = dir + QStringLiteral("/plain.vcf");
    QFile f(notCard);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("just some text\r\nFN:nobody\r\n");
    f.close();
    QCOMPARE(vcardToHtml(notCard), QString());
    QCOMPARE(vcardToHtml(dir + QStringLiteral("/missing.vcf")), QString());
    QCOMPARE(vcardToHtml(QString()), QString());
    // A card without photo gets the placeholder picture and still renders.
    VCardSummary empty;
    QVERIFY(!renderVCardImage(200, 90, empty).isNull());
}

QTEST_MAIN(TestMessageRender)
#include "test_message_render.moc"
