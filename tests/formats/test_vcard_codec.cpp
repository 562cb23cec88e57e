// The vCard lexer, parser and encoders, below the level of contacts.
#include "formats/vcard.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTest>
#include <QTextCodec>

namespace {

QList<VCardCard> parse(const char* text)
{
    return VCardParser::parse(QByteArray(text));
}

const VCardProperty* find(const VCardCard& card, const QString& name)
{
    for (const VCardProperty& p : card)
        if (p.name == name)
            return &p;
    return nullptr;
}

} // namespace

class TestVCardCodec : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void headerParameters()
    {
        const auto cards = parse("BEGIN:VCARD\r\n"
                                 "TEL;TYPE=CELL:+1 555 0100\r\n"
                                 "TEL;CELL;VOICE:123\r\n"
                                 "TEL;TYPE=HOME;TYPE=WORK:1\r\n"
                                 "ADR;TYPE=HOME, WORK:;;x\r\n"
                                 "X-P;A=b\\;c:v\r\n"
                                 "END:VCARD\r\n");
        QCOMPARE(cards.size(), 1);
        const VCardCard& c = cards[0];
        QCOMPARE(c.size(), 5);
        QCOMPARE(c[0].name, QStringLiteral("TEL"));
        QCOMPARE(c[0].params.value(QStringLiteral("TYPE")), QStringLiteral("CELL"));
        QCOMPARE(c[0].value, QByteArray("+1 555 0100")); // inner blanks kept
        QCOMPARE(c[1].params.keys(), QStringList({QStringLiteral("CELL"), QStringLiteral("VOICE")}));
        QVERIFY(c[1].params.value(QStringLiteral("CELL")).isEmpty());
        QCOMPARE(c[2].params.size(), 1);
        QCOMPARE(c[2].params.value(QStringLiteral("TYPE")), QStringLiteral("WORK"));
        QCOMPARE(c[3].params.value(QStringLiteral("TYPE")), QStringLiteral("HOME,WORK")); // the blank is dropped
        QCOMPARE(c[4].params.value(QStringLiteral("A")), QStringLiteral("b;c"));
    }

    void unfoldingAndLineEnds()
    {
        // Folding, LF-only and CR LF line ends, blank lines between cards, and
        // a continuation line holding only its folding blank.
        const auto cards = parse("BEGIN:VCARD\nNOTE:abc\n def\nEND:VCARD\n\n"
                                 "BEGIN:VCARD\r\nNOTE:x\r\n \r\nTEL:1\r\n\r\nEND:VCARD\r\n");
        QCOMPARE(cards.size(), 2);
        QCOMPARE(cards[0][0].value, QByteArray("abc def"));
        QCOMPARE(cards[1].size(), 2);
        QCOMPARE(cards[1][0].value, QByteArray("x"));
        QCOMPARE(cards[1][1].value, QByteArray("1"));
    }

    void quotedPrintableVersion21()
    {
        // Soft line breaks ("=" at the end of a line) continue the value; a
        // fold inside a QP value gives one blank.
        const QByteArray text = "BEGIN:VCARD\r\nVERSION:2.1\r\n"
                                "N;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:=E4=B8=AD;\r\n"
                                "NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:line one=0D=0A=\r\n"
                                "line two=\r\n"
                                "=20end\r\n"
                                "ADR;QUOTED-PRINTABLE:a=\r\n"
                                " b\r\n"
                                "TEL;CELL:5\r\n"
                                "END:VCARD\r\n";
        const auto cards = VCardParser::parse(text);
        QCOMPARE(cards.size(), 1);
        const VCardCard& c = cards[0];
        QCOMPARE(find(c, QStringLiteral("N"))->value, QByteArray("\xE4\xB8\xAD;"));
        QCOMPARE(find(c, QStringLiteral("N"))->decodeValue(), QString::fromUtf8("\xE4\xB8\xAD;"));
        QCOMPARE(find(c, QStringLiteral("NOTE"))->decodeValue(), QStringLiteral("line one\r\nline two end"));
        QCOMPARE(find(c, QStringLiteral("ADR"))->value, QByteArray("a b"));
        QCOMPARE(find(c, QStringLiteral("TEL"))->value, QByteArray("5"));
    }

    void charsets_data()
    {
        QTest::addColumn<QByteArray>("charset");
        QTest::addColumn<QString>("text");
        QTest::newRow("latin1") << QByteArray("ISO-8859-1") << QString::fromUtf8("Jürgen Müller");
        QTest::newRow("latin2") << QByteArray("ISO-8859-2") << QString::fromUtf8("Łódź");
        QTest::newRow("shift_jis") << QByteArray("SHIFT_JIS") << QString::fromUtf8("山田太郎");
        QTest::newRow("gb2312") << QByteArray("GB2312") << QString::fromUtf8("张伟");
        QTest::newRow("big5") << QByteArray("Big5") << QString::fromUtf8("陳大文");
    }

    void charsets()
    {
        QFETCH(QByteArray, charset);
        QFETCH(QString, text);
        QTextCodec* codec = QTextCodec::codecForName(charset);
        QVERIFY2(codec, charset.constData());
        const QByteArray encoded = quotedPrintableEncode(codec->fromUnicode(text), 0);
        const QByteArray card = "BEGIN:VCARD\r\nVERSION:2.1\r\nFN;CHARSET=" + charset +
                                ";ENCODING=QUOTED-PRINTABLE:" + encoded + "\r\nEND:VCARD\r\n";
        const auto cards = VCardParser::parse(card);
        QCOMPARE(cards.size(), 1);
        QCOMPARE(find(cards[0], QStringLiteral("FN"))->decodeValue(), text);
    }

    void unknownCharsetAndUnlabelledBytes()
    {
        VCardProperty p;
        p.value = QByteArray("J\xFCrgen");
        p.params.insert(QStringLiteral("CHARSET"), QStringLiteral("NO-SUCH-SET"));
        // Not UTF-8 and no codec: every byte stays readable.
        QCOMPARE(p.decodeValue(), QString::fromUtf8("Jürgen"));
        p.params.clear();
        p.value = QString::fromUtf8("Jürgen").toUtf8();
        QCOMPARE(p.decodeValue(), QString::fromUtf8("Jürgen"));
    }

    void brokenQuotedPrintableKeepsText()
    {
        const auto cards = parse("BEGIN:VCARD\r\nNOTE;ENCODING=QUOTED-PRINTABLE:a=ZZb=4x=41\r\nEND:VCARD\r\n");
        QCOMPARE(cards.size(), 1);
        QCOMPARE(cards[0][0].value, QByteArray("a=ZZb=4xA"));
    }

    void base64Photo()
    {
        QByteArray photo(3000, '\0');
        for (int i = 0; i < photo.size(); ++i)
            photo[i] = char(i * 7 + 3);
        const QByteArray text = "BEGIN:VCARD\r\nVERSION:3.0\r\nPHOTO;ENCODING=b;TYPE=JPEG:" +
                                base64Lines(photo, 75) + "\r\nTEL:1\r\nEND:VCARD\r\n";
        const auto cards = VCardParser::parse(text);
        QCOMPARE(cards.size(), 1);
        QCOMPARE(cards[0].size(), 3);
        QCOMPARE(cards[0][1].value, photo);
        QCOMPARE(cards[0][2].value, QByteArray("1"));
    }

    void invalidBase64LosesOnlyThatValue()
    {
        const auto cards = parse("BEGIN:VCARD\r\nN:A;B\r\nPHOTO;ENCODING=B:QUJD*EVG\r\n R0g=\r\nTEL:1\r\nEND:VCARD\r\n"
                                 "BEGIN:VCARD\r\nPHOTO;BASE64:QUJDR\r\nN:C;D\r\nEND:VCARD\r\n"
                                 "BEGIN:VCARD\r\nN:E;F\r\nEND:VCARD\r\n");
        QCOMPARE(cards.size(), 3);
        QVERIFY(find(cards[0], QStringLiteral("PHOTO"))->value.isEmpty());
        QCOMPARE(find(cards[0], QStringLiteral("TEL"))->value, QByteArray("1"));
        // One character left over in the last group cannot be decoded.
        QVERIFY(find(cards[1], QStringLiteral("PHOTO"))->value.isEmpty());
        QCOMPARE(find(cards[1], QStringLiteral("N"))->value, QByteArray("C;D"));
        QCOMPARE(find(cards[2], QStringLiteral("N"))->value, QByteArray("E;F"));
    }

    void malformedHeadersAndCards()
    {
        // "X-A;:1" stops the parse; the cards before it are returned.
        auto cards = parse("BEGIN:VCARD\r\nN:A\r\nEND:VCARD\r\nBEGIN:VCARD\r\nX-A;:1\r\nN:B\r\nEND:VCARD\r\n"
                           "BEGIN:VCARD\r\nN:C\r\nEND:VCARD\r\n");
        QCOMPARE(cards.size(), 2);
        QCOMPARE(cards[0][0].value, QByteArray("A"));
        QVERIFY(cards[1].isEmpty());

        // Lower-case begin opens nothing; properties outside cards vanish; a
        // line without ":" is dropped.
        cards = parse("begin:vcard\r\nN:lost\r\nend:vcard\r\nBEGIN:VCARD\r\nno colon here\r\nN:kept\r\nEND:VCARD\r\n");
        QCOMPARE(cards.size(), 1);
        QCOMPARE(cards[0].size(), 1);
        QCOMPARE(cards[0][0].value, QByteArray("kept"));

        // Missing END: the card is kept with what it had; a BEGIN that follows
        // does not overwrite the last property with its own value.
        cards = parse("BEGIN:VCARD\r\nN:A\r\nBEGIN:VCARD\r\nN:B");
        QCOMPARE(cards.size(), 2);
        QCOMPARE(cards[0][0].value, QByteArray("A"));
        QCOMPARE(cards[1][0].value, QByteArray("B"));

        QVERIFY(parse("").isEmpty());
        QVERIFY(parse("N:A\r\nTEL:1\r\n").isEmpty());
    }

    void truncationAndNoiseNeverCrash()
    {
        QByteArray photo(600, 'x');
        const QByteArray sample = "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=E4=B8=AD;=\r\nx\r\n"
                                  "TEL;TYPE=HOME, WORK;X=a\\;b:+1 555\r\nNOTE:abc\r\n def\r\n"
                                  "PHOTO;ENCODING=B:" + base64Lines(photo, 75) + "\r\nEND:VCARD\r\n";
        for (int len = 0; len <= sample.size(); ++len)
            VCardParser::parse(sample.left(len));
        QRandomGenerator rng(42);
        for (int round = 0; round < 300; ++round) {
            QByteArray noisy = sample;
            for (int k = 0; k < 8; ++k)
                noisy[int(rng.bounded(noisy.size()))] = char(rng.bounded(256));
            const auto cards = VCardParser::parse(noisy);
            QVERIFY(cards.size() <= 2);
        }
    }

    void splitValueAndText()
    {
        VCardProperty p;
        p.value = "a\\;b;c";
        QCOMPARE(p.splitValue(), QStringList({QStringLiteral("a;b"), QStringLiteral("c")}));
        p.value = "a;;c";
        QCOMPARE(p.splitValue(), QStringList({QStringLiteral("a"), QString(), QStringLiteral("c")}));
        p.value = "a;b;";
        QCOMPARE(p.splitValue(), QStringList({QStringLiteral("a"), QStringLiteral("b")}));
        p.value = "";
        QVERIFY(p.splitValue().isEmpty());
        // vCard 3.0 writers put line breaks into components as "\n".
        p.value = "Street 1\\nFlat 2;x\\\\y";
        QCOMPARE(p.splitValue(), QStringList({QStringLiteral("Street 1\nFlat 2"), QStringLiteral("x\\y")}));
        p.value = "Lee\\, Ann\\nline\\;2";
        QCOMPARE(p.decodeText(), QStringLiteral("Lee, Ann\nline;2"));
        QCOMPARE(vcardUnescapeText(vcardEscapeText(QStringLiteral("a\\b,c;d\\"))), QStringLiteral("a\\b,c;d\\"));
    }

    void encoders()
    {
        QCOMPARE(quotedPrintableEncode("a b=", 0), QByteArray("a=20b=3D"));
        QCOMPARE(quotedPrintableEncode("\r\n\t~!", 0), QByteArray("=0D=0A=09~!"));
        QByteArray b60(60, 'z');
        const QByteArray lines = base64Lines(b60, 75);
        const QByteArray full = b60.toBase64();
        QCOMPARE(lines, full.left(75) + "\r\n " + full.mid(75));
        QCOMPARE(base64Lines(QByteArray(45, 'q'), 75), QByteArray(45, 'q').toBase64());
        QVERIFY(base64Lines(QByteArray(), 75).isEmpty());

        // Soft breaks of the encoder are read back as one value.
        const QByteArray data = QString::fromUtf8("A long note, with ümlauts and = signs, over many lines.").toUtf8();
        const QByteArray qp = quotedPrintableEncode(data, 20);
        QVERIFY(qp.contains("=\r\n"));
        QVERIFY(!qp.endsWith("=\r\n"));
        const auto cards = VCardParser::parse("BEGIN:VCARD\r\nNOTE;ENCODING=QUOTED-PRINTABLE:" + qp +
                                              "\r\nTEL:1\r\nEND:VCARD\r\n");
        QCOMPARE(cards.size(), 1);
        QCOMPARE(cards[0].size(), 2);
        QCOMPARE(cards[0][0].value, data);
    }

    void serializeWritesParamsInNameOrder()
    {
        VCardCard card;
        VCardProperty p;
        p.name = QStringLiteral("ADR");
        p.params.insert(QStringLiteral("TYPE"), QStringLiteral("home"));
        p.params.insert(QStringLiteral("CHARSET"), QStringLiteral("UTF-8"));
        p.value = "x";
        card.append(p);
        QCOMPARE(card.serialize(), QByteArray("BEGIN:VCARD\r\nADR;CHARSET=UTF-8;TYPE=home:x\r\nEND:VCARD\r\n"));
        const auto back = VCardParser::parse(card.serialize());
        QCOMPARE(back.size(), 1);
        QCOMPARE(back[0][0].params, p.params);
    }

    void largePhotoParsesInLinearTime()
    {
        // A 50 MB photo: one value, decoded without quadratic copying.
        QByteArray photo(50 * 1024 * 1024, '\0');
        for (qsizetype i = 0; i < photo.size(); i += 4096)
            photo[i] = char(i / 4096);
        const QByteArray text = "BEGIN:VCARD\r\nN:Big;Photo\r\nPHOTO;ENCODING=B;TYPE=JPEG:" + base64Lines(photo, 75) +
                                "\r\nEND:VCARD\r\nBEGIN:VCARD\r\nN:Next;One\r\nEND:VCARD\r\n";
        QElapsedTimer timer;
        timer.start();
        const auto cards = VCardParser::parse(text);
        QCOMPARE(cards.size(), 2);
        QCOMPARE(find(cards[0], QStringLiteral("PHOTO"))->value.size(), photo.size());
        QVERIFY(find(cards[0], QStringLiteral("PHOTO"))->value == photo);
        QCOMPARE(find(cards[1], QStringLiteral("N"))->value, QByteArray("Next;One"));
        QVERIFY2(timer.elapsed() < 20000, qPrintable(QString::number(timer.elapsed())));
    }
};

QTEST_GUILESS_MAIN(TestVCardCodec)
#include "test_vcard_codec.moc"
