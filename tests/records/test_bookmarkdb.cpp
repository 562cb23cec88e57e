#include "records/localbookmarkdb.h"

#include "testsupport.h"

#include <QTest>

#include <algorithm>
#include <memory>

namespace {

BookmarkRecord* bookmark(BookmarkRecord* parent, const QString& title, const QString& url, int order = 0)
{
    auto* b = new BookmarkRecord(parent, url.isNull(), title, url, order, QStringLiteral("id-") + title);
    if (parent)
        parent->children.append(b);
    return b;
}

BookmarkRecord* folder(BookmarkRecord* parent, const QString& title, int order = 0)
{
    return bookmark(parent, title, QString(), order);
}

struct Tree {
    QList<BookmarkRecord*> roots;
    ~Tree() { qDeleteAll(roots); }
};

qint64 rows(LocalBookmarkDb& db)
{
    return db.connection().queryInt64Throw(Sqlite3Sql(QStringLiteral("select count(*) from bookmarks")));
}

} // namespace

class TestBookmarkDb : public QObject {
    Q_OBJECT

private:
    QString m_path;

private Q_SLOTS:
    void init() { m_path = testsupport::makeTempDir(QStringLiteral("bookmarks")) + QStringLiteral("/bookmarks.db"); }

    void siblingOrder_isStrict()
    {
        std::unique_ptr<BookmarkRecord> top(folder(nullptr, QStringLiteral("top")));
        BookmarkRecord* a = bookmark(top.get(), QStringLiteral("a"), QStringLiteral("http://a"));
        BookmarkRecord* sub = folder(top.get(), QStringLiteral("sub"));
        QVERIFY(!bookmarkLessThan(sub, sub));
        QVERIFY(bookmarkLessThan(a, sub)); // order_index first, then title
        sub->order_index = -1;
        QVERIFY(bookmarkLessThan(sub, a));
        QCOMPARE(top->countItems(), 1);
    }

    void storeTree_twiceWritesNothingNew()
    {
        LocalBookmarkDb db(m_path);
        Tree t;
        BookmarkRecord* top = folder(nullptr, QStringLiteral("Bar"));
        t.roots << top;
        bookmark(top, QStringLiteral("A"), QStringLiteral("http://a"), 0);
        BookmarkRecord* sub = folder(top, QStringLiteral("Sub"), 1);
        bookmark(sub, QStringLiteral("B"), QStringLiteral("http://b"), 0);

        QList<BookmarkRecord*> inserted;
        db.beginTran();
        db.addBookmarkWithParents(top, &inserted);
        db.endTran(true);
        QCOMPARE(inserted.size(), 4);
        QCOMPARE(inserted.first(), top); // parents before children
        QCOMPARE(db.countBookmarks(), 2);

        inserted.clear();
        top->children[0]->order_index = 5;
        top->children[0]->title = QStringLiteral("renamed");
        db.addBookmarkWithParents(top, &inserted);
        QVERIFY(inserted.isEmpty());
        QCOMPARE(rows(db), 4);

        Tree loaded;
        loaded.roots = db.loadAll();
        QCOMPARE(loaded.roots.size(), 1);
        const BookmarkRecord* bar = loaded.roots[0];
        QCOMPARE(bar->children.size(), 2);
        // Bookmarks come before folders; the update kept the old title.
        QCOMPARE(bar->children[0]->title, QStringLiteral("A"));
        QCOMPARE(bar->children[0]->order_index, 5);
        QCOMPARE(bar->children[1]->title, QStringLiteral("Sub"));
        QCOMPARE(bar->children[1]->children.value(0)->url, QStringLiteral("http://b"));
    }

    void storeDeepBookmark_createsFolderPath()
    {
        LocalBookmarkDb db(m_path);
        Tree t;
        BookmarkRecord* a = folder(nullptr, QStringLiteral("A"));
        t.roots << a;
        BookmarkRecord* b = folder(a, QStringLiteral("B"));
        BookmarkRecord* deep = bookmark(b, QStringLiteral("deep"), QStringLiteral("http://deep"));
        QList<BookmarkRecord*> inserted;
        db.addBookmarkWithParents(deep, &inserted);
        QCOMPARE(inserted, QList<BookmarkRecord*>({a, b, deep}));

        // A sibling stored later finds the same folder rows.
        BookmarkRecord* other = bookmark(b, QStringLiteral("other"), QStringLiteral("http://other"));
        inserted.clear();
        db.addBookmarkWithParents(other, &inserted);
        QCOMPARE(inserted, QList<BookmarkRecord*>({other}));
        QCOMPARE(rows(db), 4);
    }

    void matching_urlIgnoresCaseFolderByTitle()
    {
        LocalBookmarkDb db(m_path);
        Tree t;
        BookmarkRecord* f1 = folder(nullptr, QStringLiteral("Same"));
        BookmarkRecord* f2 = folder(nullptr, QStringLiteral("Same"));
        BookmarkRecord* other = folder(nullptr, QStringLiteral("Other"));
        t.roots << f1 << f2 << other;
        bookmark(f1, QStringLiteral("x"), QStringLiteral("http://Example.com"));
        bookmark(f2, QStringLiteral("y"), QStringLiteral("http://example.COM"));
        bookmark(other, QStringLiteral("x"), QStringLiteral("http://example.com"));
        QList<BookmarkRecord*> inserted;
        for (BookmarkRecord* r : t.roots)
            db.addBookmarkWithParents(r, &inserted);
        QCOMPARE(rows(db), 4); // Same with one bookmark, Other with one
    }

    void loadAll_rebuildsTreeAndDropsOrphans()
    {
        LocalBookmarkDb db(m_path);
        db.beginTran();
        db.connection().executeThrow(QStringLiteral(
            "insert into bookmarks(id,parent,type,title,url,order_index,src_id) values"
            "(1,NULL,1,'root',NULL,0,''),(2,1,0,'in root','http://r',0,''),"
            "(3,99,1,'orphan folder',NULL,0,''),(4,3,0,'below orphan','http://o',0,''),"
            "(5,NULL,0,'top',NULL,1,''),(6,6,1,'own parent',NULL,0,'')"));
        db.endTran(true);
        Tree loaded;
        loaded.roots = db.loadAll();
        QCOMPARE(loaded.roots.size(), 2);
        QCOMPARE(loaded.roots[0]->title, QStringLiteral("top")); // bookmarks before folders
        QVERIFY(loaded.roots[0]->url.isEmpty());                // NULL url reads empty
        QCOMPARE(loaded.roots[1]->children.size(), 1);
    }

    void deleteBookmark_removesSubtree()
    {
        LocalBookmarkDb db(m_path);
        Tree t;
        BookmarkRecord* top = folder(nullptr, QStringLiteral("top"));
        t.roots << top;
        BookmarkRecord* sub = folder(top, QStringLiteral("sub"));
        bookmark(sub, QStringLiteral("a"), QStringLiteral("http://a"));
        bookmark(top, QStringLiteral("b"), QStringLiteral("http://b"));
        BookmarkRecord* keep = folder(nullptr, QStringLiteral("keep"));
        t.roots << keep;
        bookmark(keep, QStringLiteral("c"), QStringLiteral("http://c"));
        for (BookmarkRecord* r : t.roots)
            db.addBookmarkWithParents(r, nullptr);

        Tree loaded;
        loaded.roots = db.loadAll();
        const auto it = std::find_if(loaded.roots.begin(), loaded.roots.end(),
                                     [](const BookmarkRecord* r) { return r->title == QLatin1String("top"); });
        QVERIFY(it != loaded.roots.end());
        db.beginTran();
        db.deleteBookmark(*it);
        db.endTran(true);
        QCOMPARE(rows(db), 2);
        QCOMPARE(db.countBookmarks(), 1);
        db.closeAndRemoveFile();
        QCOMPARE(db.countBookmarks(), 0);
    }

    void failure_insideCallerTransaction_rollsBack()
    {
        LocalBookmarkDb db(m_path);
        Tree t;
        BookmarkRecord* top = folder(nullptr, QStringLiteral("top"));
        t.roots << top;
        bookmark(top, QStringLiteral("a"), QStringLiteral("http://a"));
        db.beginTran();
        db.addBookmarkWithParents(top, nullptr);
        db.connection().executeThrow(QStringLiteral(
            "create trigger no_b before insert on bookmarks when new.url='http://b' "
            "begin select raise(abort,'refused'); end"));
        bookmark(top, QStringLiteral("b"), QStringLiteral("http://b"));
        QVERIFY_THROWS_EXCEPTION(std::exception, db.addBookmarkWithParents(top, nullptr));
        db.endTran(false);
        QCOMPARE(db.connection().tranDepth(), 0);
        QCOMPARE(rows(db), 0);
        db.addBookmarkWithParents(top, nullptr); // works on after the rollback
        QCOMPARE(rows(db), 3);
    }
};

QTEST_GUILESS_MAIN(TestBookmarkDb)
#include "test_bookmarkdb.moc"
