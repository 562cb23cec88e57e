// Merges 10,000 contacts (a name, two phones, an e-mail and an address
// each) into an empty contacts.db, then the same contacts again into the
// now full file, where every contact finds its stored twin by name. The
// second pass must not scan the table per contact: its per-contact cost is
// to stay within 3x of the first pass.
#include "records/localcontactsdb.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

constexpr int kContacts = 10000;
constexpr double kMaxRatio = 3.0;
bool g_ratioExceeded = false;

pim::ContactDataRow makeRow(std::initializer_list<std::pair<int, QVariant>> values)
{
    pim::ContactDataRow r;
    for (const auto& v : values)
        r.values.insert(QStringLiteral("data%1").arg(v.first), v.second);
    return r;
}

QList<pim::_Contact> makeContacts()
{
    QList<pim::_Contact> list;
    list.reserve(kContacts);
    for (int i = 0; i < kContacts; ++i) {
        const QString first = QStringLiteral("First%1").arg(i);
        const QString last = QStringLiteral("Last%1").arg(i % 97);
        pim::_Contact c(0, QString::number(i), first + QLatin1Char(' ') + last);
        c.entities[pim::ENTITY_NAME] << makeRow({{1, c.fullName}, {2, first}, {3, last}});
        c.entities[pim::ENTITY_PHONE]
            << makeRow({{1, QStringLiteral("+1555%1").arg(i, 7, 10, QLatin1Char('0'))}, {2, 2}, {3, QString()}})
            << makeRow({{1, QStringLiteral("+1666%1").arg(i, 7, 10, QLatin1Char('0'))}, {2, 3}, {3, QString()}});
        c.entities[pim::ENTITY_EMAIL] << makeRow(
            {{1, QStringLiteral("user%1@example.com").arg(i)}, {2, 1}, {3, QString()}});
        pim::ContactDataRow postal = makeRow({{2, 1},
                                              {3, QString()},
                                              {4, QStringLiteral("%1 Main St").arg(i)},
                                              {7, QStringLiteral("Springfield")},
                                              {8, QStringLiteral("IL")},
                                              {9, QStringLiteral("62701")},
                                              {10, QStringLiteral("USA")}});
        postal.values.insert(QStringLiteral("data1"), pim::formatAddress(postal.values));
        c.entities[pim::ENTITY_POSTAL] << postal;
        list << c;
    }
    return list;
}

double mergeAll(LocalContactsDb& db, const QList<pim::_Contact>& contacts, int* merged)
{
    QElapsedTimer timer;
    timer.start();
    db.beginTran();
    for (const pim::_Contact& c : contacts) {
        pim::_Contact dst;
        bool wasMerged = false;
        db.addOrMergeContact(c, dst, &wasMerged);
        *merged += wasMerged ? 1 : 0;
    }
    db.endTran(true);
    return double(timer.nsecsElapsed()) / 1e6;
}

void BM_ContactsMerge(benchmark::State& state)
{
    const QList<pim::_Contact> contacts = makeContacts();
    for (auto _ : state) {
        QTemporaryDir dir;
        LocalContactsDb db(dir.filePath(QStringLiteral("contacts.db")),
                           QSharedPointer<AbsContactCombineRule>(new LocalDbCombineRule));
        int mergedFirst = 0;
        int mergedSecond = 0;
        const double firstMs = mergeAll(db, contacts, &mergedFirst);
        const double secondMs = mergeAll(db, contacts, &mergedSecond);
        if (mergedFirst != 0 || mergedSecond != kContacts || db.countContacts() != kContacts) {
            state.SkipWithError("the second pass did not find every contact");
            return;
        }
        const double firstUs = firstMs * 1000.0 / kContacts;
        const double secondUs = secondMs * 1000.0 / kContacts;
        const double ratio = secondUs / firstUs;
        g_ratioExceeded = ratio > kMaxRatio;
        state.counters["empty_ms"] = firstMs;
        state.counters["full_ms"] = secondMs;
        state.counters["empty_us_per_contact"] = firstUs;
        state.counters["full_us_per_contact"] = secondUs;
        state.counters["ratio"] = ratio;
        std::printf("merge of %d contacts into an empty contacts.db: %.1f ms (%.1f us per contact)\n", kContacts,
                    firstMs, firstUs);
        std::printf("merge of %d contacts into the full contacts.db: %.1f ms (%.1f us per contact)\n", kContacts,
                    secondMs, secondUs);
        std::printf("per-contact cost ratio full/empty: %.2f (limit %.1f)%s\n", ratio, kMaxRatio,
                    g_ratioExceeded ? "  EXCEEDED" : "");
    }
}

BENCHMARK(BM_ContactsMerge)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return g_ratioExceeded ? 1 : 0;
}
