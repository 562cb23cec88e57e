// The vCard lexer, parser and encoders, below the level of contacts.
#include "formats/vcard.h"

#include <QRandomGenerator>
#include <QTest>
#include <QTextCodec>

namespace {

// Each card as {NAME[K=V,...]:value|...}, values as UTF-8.
QString summary(const QByteArray& text, int* skipped = nullptr)
{
    QString out;
    for (const VCardCard& card : VCardParser::parse(text, skipped)) {
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
        QTest::addColumn<int>("skipped");
        // Repeated TYPE values collect; other repeated names keep the last value.
        QTest::newRow("parameters")
            << QByteArray("BEGIN:VCARD\r\nTEL;TYPE=CELL:+1 555 0100\r\nTEL;CELL;VOICE:123\r\n"
                          "TEL;TYPE=HOME;TYPE=WORK;X=1;X=2:1\r\nADR;TYPE=HOME, WORK:;;x\r\n"
                          "X-P;A=b\\;c:v\r\nEND:VCARD\r\n")
            << QStringLiteral("{TEL[TYPE=CELL]:+1 555 0100|TEL[CELL=,VOICE=]:123|TEL[TYPE=HOME,WORK,X=2]:1|"
                              "ADR[TYPE=HOME,WORK]:;;x|X-P[A=b;c]:v}")
            << 0;
        QTest::newRow("quoted parameter values")
            << QByteArray("BEGIN:VCARD\r\nX-A;P=\"a:b;c, d\";Q=\"\":v\r\nX-B;P=\"open:v\r\nN:x\r\nEND:VCARD\r\n")
            << QStringLiteral("{X-A[P=a:b;c, d,Q=]:v|N:x}") << 1;
        QTest::newRow("groups") << QByteArray("BEGIN:VCARD\r\nitem1.EMAIL;TYPE=WORK:a@b.c\r\nitem1.X-ABLabel:x\r\n"
                                              "END:VCARD\r\n")
                                << QStringLiteral("{item1.EMAIL[TYPE=WORK]:a@b.c|item1.X-ABLabel:x}") << 0;
        // The break and the one blank or tab after it go; more blanks are text. LF-only and
        // CR LF line ends, blank lines, a continuation holding only its blank.
        QTest::newRow("folding") << QByteArray("BEGIN:VCARD\nNOTE:abc\n def\n\t  ghi\nEND:VCARD\n\n"
                                               "BEGIN:VCARD\r\nNOTE:x\r\n \r\nTEL:1\r\n\r\nEND:VCARD\r\n")
                                 << QStringLiteral("{NOTE:abcdef  ghi}{NOTE:x|TEL:1}") << 0;
        QTest::newRow("cr line ends") << QByteArray("BEGIN:VCARD\rNOTE:a\r b\r\rTEL:1\rEND:VCARD\r")
                                      << QStringLiteral("{NOTE:ab|TEL:1}") << 0;
        // A soft break keeps the blank that starts the next line.
        QTest::newRow("quoted-printable soft breaks")
            << QByteArray("BEGIN:VCARD\r\nNOTE;ENCODING=QUOTED-PRINTABLE:a=\r\n b=\rc=\nd=4\r\n 1\r\nEND:VCARD\r\n")
            << QStringLiteral("{NOTE[ENCODING=QUOTED-PRINTABLE]:a bcdA}") << 0;
        QTest::newRow("broken quoted-printable")
            << QByteArray("BEGIN:VCARD\r\nNOTE;ENCODING=QUOTED-PRINTABLE:a=ZZb=4x=41\r\nEND:VCARD\r\n")
            << QStringLiteral("{NOTE[ENCODING=QUOTED-PRINTABLE]:a=ZZb=4xA}") << 0;
        // A bad character or one left over in the last group ends the value: the bytes before stay.
        QTest::newRow("invalid base64") << QByteArray(
            "BEGIN:VCARD\r\nN:A;B\r\nPHOTO;ENCODING=B:QUJD*EVG\r\n R0g=\r\nTEL:1\r\nEND:VCARD\r\n"
            "BEGIN:VCARD\r\nPHOTO;BASE64:QUJDR\r\nN:C;D\r\nEND:VCARD\r\nBEGIN:VCARD\r\nPHOTO;ENCODING=b:QU=D\r\n"
            "N:E;F\r\nEND:VCARD\r\n")
                                        << QStringLiteral(
                                               "{N:A;B|PHOTO[ENCODING=B]:ABC|TEL:1}{PHOTO[BASE64=]:ABC|N:C;D}"
                                               "{PHOTO[ENCODING=b]:|N:E;F}")
                                        << 0;
        QTest::newRow("bad header skips its line")
            << QByteArray("BEGIN:VCARD\r\nN:A\r\nEND:VCARD\r\nBEGIN:VCARD\r\nX-A;:1\r\nTEL;TYPE=:1\r\nTEL;X=;Y:2\r\n"
                          "N:B\r\nEND:VCARD\r\nBEGIN:VCARD\r\nN:C\r\nEND:VCARD\r\n")
            << QStringLiteral("{N:A}{N:B}{N:C}") << 3;
        QTest::newRow("lower-case begin, no colon") << QByteArray(
            "begin:vcard\r\nN:lost\r\nend:vcard\r\nBEGIN:VCARD\r\nno colon here\r\nN:kept\r\nEND:VCARD\r\n")
                                                    << QStringLiteral("{N:kept}") << 1;
        QTest::newRow("missing END") << QByteArray("BEGIN:VCARD\r\nN:A\r\nBEGIN:VCARD\r\nN:B")
                                     << QStringLiteral("{N:A}{N:B}") << 0;
        QTest::newRow("empty") << QByteArray() << QString() << 0;
    }

    void parse()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, cards);
        QFETCH(int, skipped);
        int counted = -1;
        QCOMPARE(summary(text, &counted), cards);
        QCOMPARE(counted, skipped);
    }

    void components()
    {
        const auto split = [](const char* value) {
            VCardProperty p;
            p.value = value;
            return p.splitValue();
        };
        QCOMPARE(split("a\\;b;c"), QStringList({"a;b", "c"}));
        QCOMPARE(split("a;;c"), QStringList({"a", "", "c"}));
        QCOMPARE(split("a;b;"), QStringList({"a", "b"}));
        QCOMPARE(split(""), QStringList());
        QCOMPARE(split("x\\\\y\\,z\\nw;\\N;tail\\"), QStringList({"x\\y,z\nw", "\n", "tail"}));
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
