// vCard throughput: 10,000 vCard 3.0 contacts parsed into contact records,
// without photos and with a photo on every card, and the records (200 of
// them with a photo) written back as vCard.
//
// And two inputs far beyond the usual, each to be read within 20 s or the
// run fails: a file whose first card holds a photo of 50 MB (folded in
// lines of 75), read through the importer, and 200,000 cards begun with a
// blank inside the word, none ended and none with a version, parsed.
#include "formats/vcard.h"
#include "formats/vcardexport.h"
#include "formats/vcardimport.h"

#include <QBuffer>
#include <QColor>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

constexpr int kCards = 10000;
constexpr int kPhotoEvery = kCards / 200;
constexpr qint64 kLargeInputLimitMs = 20000;
bool g_failed = false;

// A contact thumbnail as phones keep them: 96 x 96, with enough texture to
// make a JPEG of about 3 KB, as a face does.
QByteArray photoBytes()
{
    QImage img(96, 96, QImage::Format_RGB32);
    quint32 seed = 1;
    for (int y = 0; y < 96; ++y)
        for (int x = 0; x < 96; ++x) {
            seed = seed * 1103515245u + 12345u;
            const int noise = int((seed >> 16) % 48);
            img.setPixelColor(x, y, QColor(qMin(255, x * 2 + noise), qMin(255, y * 2 + noise), (x + y + noise) % 256));
        }
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "JPEG");
    return bytes;
}

// photoEvery: every how many cards carry a photo; 0 for none.
QList<pim::_Contact> makeContacts(int photoEvery = kPhotoEvery)
{
    const QByteArray photo = photoBytes();
    QList<pim::_Contact> list;
    list.reserve(kCards);
    for (int i = 0; i < kCards; ++i) {
        pim::_Contact c;
        const QString given = QStringLiteral("Given%1").arg(i);
        const QString family = QString::fromUtf8("Fämily%1").arg(i);
        c.fullName = given + QLatin1Char(' ') + family;
        auto add = [&c](int type, std::initializer_list<std::pair<int, QVariant>> values) {
            ContactDataRow r;
            for (const auto& [n, v] : values)
                r.values.insert(QStringLiteral("data%1").arg(n), v);
            c.entities[type].append(r);
        };
        add(pim::ENTITY_NAME, {{1, c.fullName}, {2, given}, {3, family}});
        add(pim::ENTITY_PHONE, {{1, QStringLiteral("+1 555 %1").arg(i, 4, 10, QLatin1Char('0'))}, {2, 2}});
        add(pim::ENTITY_PHONE, {{1, QStringLiteral("+1 555 9%1").arg(i)}, {2, 1}});
        add(pim::ENTITY_EMAIL, {{1, QStringLiteral("person%1@example.org").arg(i)}, {2, 1}});
        add(pim::ENTITY_ORGANIZATION, {{1, QStringLiteral("Company %1").arg(i % 50)}, {4, QStringLiteral("Title")}});
        add(pim::ENTITY_POSTAL,
            {{2, 1},
             {4, QStringLiteral("%1 Main Street").arg(i)},
             {7, QStringLiteral("Town")},
             {9, QStringLiteral("12345")}});
        add(pim::ENTITY_NOTE, {{1, QStringLiteral("Met at the conference,\nnice person.")}});
        if (photoEvery > 0 && i % photoEvery == 0)
            add(pim::ENTITY_PHOTO, {{15, photo}});
        list.append(c);
    }
    return list;
}

QByteArray serialize(const QList<pim::_Contact>& contacts)
{
    QByteArray out;
    for (const auto& c : contacts)
        out += VCardExport::cardFor(c).serialize();
    return out;
}

// Argument 0: no photos; 1: a photo on every card.
void BM_ParseToContacts(benchmark::State& state)
{
    const QByteArray text = serialize(makeContacts(int(state.range(0))));
    for (auto _ : state) {
        const QList<VCardCard> cards = VCardParser::parse(text);
        QList<pim::_Contact> contacts;
        contacts.reserve(cards.size());
        for (const VCardCard& card : cards)
            contacts.append(VCardImport::contactFromCard(card));
        if (contacts.size() != kCards)
            state.SkipWithError("wrong card count");
        benchmark::DoNotOptimize(contacts);
    }
    state.counters["cards/s"] = benchmark::Counter(double(kCards), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_ExportContacts(benchmark::State& state)
{
    const QList<pim::_Contact> contacts = makeContacts();
    for (auto _ : state) {
        const QByteArray text = serialize(contacts);
        benchmark::DoNotOptimize(text);
    }
    state.counters["cards/s"] = benchmark::Counter(double(kCards), benchmark::Counter::kIsIterationInvariantRate);
}

void reportLarge(benchmark::State& state, const char* what, qint64 ms, bool whole)
{
    const bool failed = !whole || ms >= kLargeInputLimitMs;
    g_failed = g_failed || failed;
    std::printf("%s: %lld ms (limit %lld ms)%s\n", what, static_cast<long long>(ms),
                static_cast<long long>(kLargeInputLimitMs), whole ? (failed ? "  EXCEEDED" : "") : "  NOT READ WHOLE");
    state.counters["ms"] = double(ms);
}

void BM_LargePhotoCard(benchmark::State& state)
{
    QByteArray photo(50 * 1024 * 1024, '\0');
    for (qsizetype i = 0; i < photo.size(); i += 4096)
        photo[i] = char(i / 4096);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.vcf"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)
        || file.write("BEGIN:VCARD\r\nN:Big;Pic\r\nPHOTO;ENCODING=B:" + base64Lines(photo, 75)
                      + "\r\nEND:VCARD\r\nBEGIN:VCARD\r\nN:Next;One\r\nEND:VCARD\r\n")
            < 0)
        qFatal("cannot write %s", qPrintable(path));
    file.close();
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        VCardImport reader;
        reader.open(path);
        QList<pim::_Contact> contacts;
        while (reader.hasNext())
            contacts.append(reader.next());
        const qint64 ms = timer.elapsed();
        const bool whole = contacts.size() == 2
            && contacts.first().rows(pim::ENTITY_PHOTO).value(0).values.value(QStringLiteral("data15")).toByteArray()
                == photo;
        reportLarge(state, "a card with a 50 MB photo, imported", ms, whole);
    }
}

void BM_UnendedCards(benchmark::State& state)
{
    QByteArray text;
    for (int i = 0; i < 200000; ++i)
        text += "B EGIN:VCARD\r\nNOTE:a\r\n b\r\n";
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        const QList<VCardCard> cards = VCardParser::parse(text);
        const qint64 ms = timer.elapsed();
        reportLarge(state, "200,000 cards without version or end, parsed", ms, cards.size() == 200000);
    }
}

} // namespace

BENCHMARK(BM_ParseToContacts)->ArgName("photos")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportContacts)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LargePhotoCard)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_UnendedCards)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv); // image codecs
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return g_failed ? 1 : 0;
}
