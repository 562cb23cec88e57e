// The vCard lexer, parser and encoders, below the level of contacts.
#include "formats/vcard.h"

#include <QRandomGenerator>
#include <QTest>
#include <QTextCodec>

namespace {

// Each card as {NAME[K=V,...]:value|...}, values as UTF-8.
QString summary(const QByteArray& text)
{
    QString out;
    for (const VCardCard& card : VCardParser::parse(text)) {
        QStringList props;
        for (const VCardProperty& p : card) {
            QStringList params;
            for (auto it = p.params.cbegin(); it != p.params.cend(); ++it)
                params.append(it.key() + QLatin1Char('=') + it.value());
            const QString head = params.isEmpty() ? p.name : QStringLiteral("%1[%2]").arg(p.name, params.join(u','));
            props.append(head + QLatin1Char(':') + QString::fromUtf8(p.value));
        }
        out += QLatin1Char('{') + props.join(u'|') + QLatin1Char('}');
    }
    return out;
}

} // namespace

class TestVCardCodec : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void parse_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("cards");
        QTest::newRow("parameters") << QByteArray("BEGIN:VCARD\r\nTEL;TYPE=CELL:+1 555 0100\r\nTEL;CELL;VOICE:123\r\n"
                                                  "TEL;TYPE=HOME;TYPE=WORK:1\r\nADR;TYPE=HOME, WORK:;;x\r\n"
                                                  "X-P;A=b\\;c:v\r\nEND:VCARD\r\n")
                                    << QStringLiteral(
                                           "{TEL[TYPE=CELL]:+1 555 0100|TEL[CELL=,VOICE=]:123|TEL[TYPE=WORK]:1|"
                                           "ADR[TYPE=HOME,WORK]:;;x|X-P[A=b;c]:v}");
        // LF-only and CR LF line ends, blank lines, a continuation holding only its blank.
        QTest::newRow("folding") << QByteArray("BEGIN:VCARD\nNOTE:abc\n def\nEND:VCARD\n\n"
                                               "BEGIN:VCARD\r\nNOTE:x\r\n \r\nTEL:1\r\n\r\nEND:VCARD\r\n")
                                 << QStringLiteral("{NOTE:abc def}{NOTE:x|TEL:1}");
        QTest::newRow("broken quoted-printable")
            << QByteArray("BEGIN:VCARD\r\nNOTE;ENCODING=QUOTED-PRINTABLE:a=ZZb=4x=41\r\nEND:VCARD\r\n")
            << QStringLiteral("{NOTE[ENCODING=QUOTED-PRINTABLE]:a=ZZb=4xA}");
        // Bad characters, or one left over in the last group: only that value is lost.
        QTest::newRow("invalid base64") << QByteArray(
            "BEGIN:VCARD\r\nN:A;B\r\nPHOTO;ENCODING=B:QUJD*EVG\r\n R0g=\r\nTEL:1\r\nEND:VCARD\r\n"
            "BEGIN:VCARD\r\nPHOTO;BASE64:QUJDR\r\nN:C;D\r\nEND:VCARD\r\nBEGIN:VCARD\r\nN:E;F\r\nEND:VCARD\r\n")
                                        << QStringLiteral(
                                               "{N:A;B|PHOTO[ENCODING=B]:|TEL:1}{PHOTO[BASE64=]:|N:C;D}{N:E;F}");
        QTest::newRow("bad header stops the parse")
            << QByteArray("BEGIN:VCARD\r\nN:A\r\nEND:VCARD\r\nBEGIN:VCARD\r\nX-A;:1\r\nN:B\r\nEND:VCARD\r\n"
                          "BEGIN:VCARD\r\nN:C\r\nEND:VCARD\r\n")
            << QStringLiteral("{N:A}{}");
        QTest::newRow("lower-case begin, no colon") << QByteArray(
            "begin:vcard\r\nN:lost\r\nend:vcard\r\nBEGIN:VCARD\r\nno colon here\r\nN:kept\r\nEND:VCARD\r\n")
                                                    << QStringLiteral("{N:kept}");
        QTest::newRow("missing END") << QByteArray("BEGIN:VCARD\r\nN:A\r\nBEGIN:VCARD\r\nN:B")
                                     << QStringLiteral("{N:A}{N:B}");
        QTest::newRow("empty") << QByteArray() << QString();
    }

    void parse()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, cards);
        QCOMPARE(summary(text), cards);
    }

    void charsets()
    {
        // An unknown charset or none at all: UTF-8 when the bytes are, else every byte kept.
        const std::pair<const char*, const char*> samples[] = {{"ISO-8859-1", "Jürgen Müller"},
                                                               {"ISO-8859-2", "Łódź"},
                                                               {"SHIFT_JIS", "山田太郎"},
                                                               {"GB2312", "张伟"},
                                                               {"Big5", "陳大文"},
                                                               {"NO-SUCH-SET", "J\xFCrgen"},
                                                               {"", "Jürgen"}};
        for (const auto& [charset, text] : samples) {
            const QTextCodec* codec = QTextCodec::codecForName(charset);
            const QByteArray bytes = codec ? codec->fromUnicode(QString::fromUtf8(text)) : QByteArray(text);
            const QByteArray param = *charset ? QByteArray(";CHARSET=") + charset : QByteArray();
            const auto cards
                = VCardParser::parse("BEGIN:VCARD\r\nVERSION:2.1\r\nFN" + param + ";ENCODING=QUOTED-PRINTABLE:"
                                     + quotedPrintableEncode(bytes, 0) + "\r\nEND:VCARD\r\n");
            QCOMPARE(cards.size(), 1);
            QCOMPARE(cards[0].last().decodeValue(), codec ? QString::fromUtf8(text) : QStringLiteral("Jürgen"));
        }
    }

    void truncationAndNoiseNeverCrash()
    {
        const QByteArray sample
            = "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=E4=B8=AD;=\r\nx\r\n"
              "TEL;TYPE=HOME, WORK;X=a\\;b:+1 555\r\nNOTE:abc\r\n def\r\n"
              "PHOTO;ENCODING=B:"
            + base64Lines(QByteArray(600, 'x'), 75) + "\r\nEND:VCARD\r\n";
        for (int len = 0; len <= sample.size(); ++len)
            VCardParser::parse(sample.left(len));
        QRandomGenerator rng(42);
        for (int round = 0; round < 300; ++round) {
            QByteArray noisy = sample;
            for (int k = 0; k < 8; ++k)
                noisy[int(rng.bounded(noisy.size()))] = char(rng.bounded(256));
            QVERIFY(VCardParser::parse(noisy).size() <= 2);
        }
    }
};

QTEST_GUILESS_MAIN(TestVCardCodec)
#include "test_vcard_codec.moc"
