#include "records/localnotesdb.h"
#include "records/localplaylistdb.h"
#include "records/namecompare.h"
#include "records/remotefile.h"

#include "testsupport.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTest>

#include <algorithm>
#include <memory>

namespace {

NoteRecord note(const QString& title, const QString& content, qint64 modifiedSecs)
{
    NoteRecord n(QStringLiteral("dev"), QStringLiteral("src"));
    n.title = title;
    n.content = content;
    n.created = QDateTime::fromMSecsSinceEpoch(1000);
    n.modified = QDateTime::fromMSecsSinceEpoch(modifiedSecs * 1000);
    return n;
}

PlaylistRecord playlist(const QString& name, const QStringList& members)
{
    PlaylistRecord p;
    p.name = name;
    p.members = members;
    return p;
}

} // namespace

class TestNotesPlaylists : public QObject {
    Q_OBJECT

private:
    QString m_dir;

private Q_SLOTS:
    void init() { m_dir = testsupport::makeTempDir(QStringLiteral("notes")); }

    void notes_sameHashUpdatesInPlace()
    {
        LocalNotesDb db(m_dir + QStringLiteral("/notes.db"));
        NoteRecord a = note(QStringLiteral("Shop"), QStringLiteral("<p>milk</p>"), 100);
        QCOMPARE(a.hash(), QCryptographicHash::hash("Shop<p>milk</p>", QCryptographicHash::Md5).toHex());
        db.beginTran();
        db.saveNote(a);
        NoteRecord again = a;
        again.summary = QStringLiteral("new summary");
        again.modified = QDateTime::fromMSecsSinceEpoch(300000);
        again.src_id = QStringLiteral("src2");
        db.saveNote(again);
        db.saveNote(note(QStringLiteral("Shop"), QStringLiteral("<p>bread</p>"), 200));
        db.endTran(true);
        QCOMPARE(db.count(), 2);
        const QList<NoteRecord> notes = db.loadAll();
        QCOMPARE(notes[0].summary, QStringLiteral("new summary")); // newest first
        QCOMPARE(notes[0].src_id, QStringLiteral("src2"));
        QCOMPARE(notes[0].modified.toMSecsSinceEpoch(), 300000);
        QCOMPARE(notes[1].content, QStringLiteral("<p>bread</p>"));

        NoteRecord old = note(QStringLiteral("old"), QString(), 0); // times in 64 bits
        old.modified = QDateTime::fromMSecsSinceEpoch(-1500);
        db.saveNote(old);
        db.saveNote(note(QStringLiteral("late"), QString(), 4102444800LL));
        const QList<NoteRecord> all = db.loadAll();
        QCOMPARE(all.first().modified.toMSecsSinceEpoch(), 4102444800LL * 1000);
        QCOMPARE(all.last().modified.toMSecsSinceEpoch(), -1000);
    }

    void notes_removeAndForeignFile()
    {
        const QString path = m_dir + QStringLiteral("/notes.db");
        {
            LocalNotesDb db(path);
            const NoteRecord a = note(QStringLiteral("a"), QStringLiteral("b"), 1);
            db.saveNote(a);
            db.saveNote(note(QStringLiteral("ab"), QString(), 2)); // same bytes as "a"+"b": one hash
            QCOMPARE(db.count(), 1);
            db.beginTran();
            db.removeNote(note(QStringLiteral("a"), QStringLiteral("b"), 9));
            db.endTran(true);
            QCOMPARE(db.count(), 0);
            db.closeAndRemoveFile();
        }
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(2048, '\0'));
        }
        LocalNotesDb db(path);
        QCOMPARE(db.count(), 0);
        QVERIFY_THROWS_EXCEPTION(std::exception, db.loadAll());
    }

    void playlists_duplicatesAndMembers()
    {
        LocalPlaylistDb db(m_dir + QStringLiteral("/playlists.db"));
        QCOMPARE(db.count(), 0);
        PlaylistRecord mix = playlist(QStringLiteral("Zeta"), {QStringLiteral("a"), QStringLiteral("b/c")});
        mix.id = 77;
        const qint64 id = db.addPlaylist(mix);
        QVERIFY(id != 77);
        QCOMPARE(db.addPlaylist(mix), id);
        QVERIFY(db.addPlaylist(playlist(QStringLiteral("Zeta"), {QStringLiteral("a")})) != id);
        const PlaylistRecord empty = playlist(QStringLiteral("alpha"), {});
        QCOMPARE(empty.hash(), playlist(QStringLiteral("alpha"), {QString()}).hash());
        db.addPlaylist(empty);
        QCOMPARE(db.count(), 3);

        QList<PlaylistRecord> all = db.loadAll();
        QCOMPARE(all[0].name, QStringLiteral("Zeta")); // binary order: capitals first
        QCOMPARE(all.last().name, QStringLiteral("alpha"));
        QCOMPARE(all.last().members, QStringList({QString()}));
        const auto stored = std::find_if(all.begin(), all.end(), [&](const PlaylistRecord& p) { return p.id == id; });
        QCOMPARE(stored->members, QStringList({"a", "b", "c"}));

        std::stable_sort(all.begin(), all.end(), lessByNameNoCase<PlaylistRecord>);
        QCOMPARE(all[0].name, QStringLiteral("alpha"));
        db.beginTran();
        db.removePlaylist(id);
        db.endTran(true);
        QCOMPARE(db.count(), 2);
    }

    void lessByNameNoCase_isStrict()
    {
        const QString a = QStringLiteral("Mix"), b = QStringLiteral("mix"), c = QStringLiteral("Nope");
        QVERIFY(!lessByNameNoCase(a, b));
        QVERIFY(!lessByNameNoCase(b, a));
        QVERIFY(lessByNameNoCase(b, c));
        // Many equal keys: a strict order keeps std::sort within the range.
        QList<PlaylistRecord> many;
        for (int i = 0; i < 100; ++i)
            many << playlist(i % 2 ? QStringLiteral("SAME") : QStringLiteral("same"), {QString::number(i)});
        many << playlist(QStringLiteral("a"), {});
        std::sort(many.begin(), many.end(), lessByNameNoCase<PlaylistRecord>);
        QCOMPARE(many[0].name, QStringLiteral("a"));
        QCOMPARE(many.size(), 101);
    }

    void remoteFile_namesCountsAndOwnership()
    {
        auto node = [](_RemoteFile* parent, bool dir, const char* path) {
            auto* f = new _RemoteFile(parent, dir, QString::fromLatin1(path), QString(), true, true, true, QString());
            parent->children << f;
            return f;
        };
        auto root = std::make_unique<_RemoteFile>(nullptr, true, QStringLiteral("/sdcard"), QString(), true, true, true, QString());
        node(root.get(), false, "/sdcard/x");
        _RemoteFile* deeper = node(node(root.get(), true, "/sdcard/sub"), true, "/sdcard/sub/deeper");
        QCOMPARE(root->countFiles(), 1);
        QCOMPARE(node(deeper, false, "/sdcard/sub/deeper/z.mp3")->name, QStringLiteral("z.mp3"));
        QCOMPARE(root->countFiles(), 2);
        QList<_RemoteFile*> nodes = root->children;
        std::stable_sort(nodes.begin(), nodes.end(), lessByNameNoCase<_RemoteFile*>);
        QCOMPARE(nodes[0]->name, QStringLiteral("sub"));
        root.reset(); // frees every node once (checked under sanitizers)
    }
};

QTEST_GUILESS_MAIN(TestNotesPlaylists)
#include "test_notes_playlists.moc"
