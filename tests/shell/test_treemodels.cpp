// The tree model base, a page-style model and the navigation tree, checked
// by QAbstractItemModelTester while nodes come and go.
#include "shell/core/translations.h"
#include "shell/itemmodelmain.h"

#include <QAbstractItemModelTester>
#include <QPixmap>
#include <QSignalSpy>
#include <QTreeView>
#include <QtTest>

namespace {

using Node = AbsTreeItemModel::_ItemNode;

// A page model: flat or nested rows of kind 0, two columns.
class PageModel : public AbsTreeItemModel {
public:
    using AbsTreeItemModel::AbsTreeItemModel;
    int columnCount(const QModelIndex& = QModelIndex()) const override { return 2; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        const Node* n = nodeOf(index);
        if (!n || role != Qt::DisplayRole)
            return QVariant();
        return index.column() == 0 ? QVariant(n->text) : QVariant(int(n->children.size()));
    }
};

QStringList texts(const QList<Node*>& nodes)
{
    QStringList out;
    for (const Node* n : nodes)
        out << n->text;
    return out;
}

AndroidDeviceInfo phone(const QString& serial, const QString& model)
{
    AndroidDeviceInfo info;
    info.serial = serial;
    info.uid = serial + QStringLiteral("-uid");
    info.manufacturer = QStringLiteral("Acme");
    info.model = model;
    return info;
}

} // namespace

class TestTreeModels : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(installTranslations(qApp)); }
    void test_pageModel_addRemoveUnderTester_parentsStayRight();
    void test_removeEdgeCases();
    void test_allNodes_preOrder();
    void test_navTree_freshModel_twoEmptyRoots();
    void test_navTree_phonesAndBackups_underTester();
    void test_navTree_rowLookAndIcons();
    void test_findAndroidDevice_afterRemoval_returnsNull();
};

void TestTreeModels::test_pageModel_addRemoveUnderTester_parentsStayRight()
{
    PageModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QTreeView view; // a real consumer of the signals
    view.setModel(&model);

    QList<Node*> groups;
    for (int i = 0; i < 4; ++i)
        groups << new Node(0, QStringLiteral("G%1").arg(i), nullptr);
    model.appendNodes(nullptr, groups);
    for (Node* g : groups)
        for (int j = 0; j < 3; ++j)
            model.appendNode(g, new Node(1, g->text + QStringLiteral(".%1").arg(j), nullptr));
    view.expandAll();
    QCOMPARE(model.rowCount(), 4);

    // Hand out an index of G3's child so G3 caches its index at row 3.
    const QModelIndex g3 = model.index(3, 0);
    const QModelIndex child = model.index(1, 0, g3);
    QCOMPARE(model.parent(child), g3);

    // Removing an earlier sibling moves G3 to row 2: the parent of its child
    // must say so, not the stale row 3.
    model.removeNode(groups[0]);
    Node* g3node = groups[3];
    const QModelIndex childAgain = model.index(1, 0, model.indexOfNode(g3node));
    QCOMPARE(model.parent(childAgain).row(), 2);
    QCOMPARE(model.indexOfNode(g3node).row(), 2);
    QCOMPARE(model.indexOfNode(g3node->children.at(2)).row(), 2);

    model.removeChildren(groups[1]);
    QCOMPARE(model.rowCount(model.indexOfNode(groups[1])), 0);
    model.removeChildren(nullptr);
    QCOMPARE(model.rowCount(), 0);
}

void TestTreeModels::test_removeEdgeCases()
{
    PageModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    Node* leaf = new Node(0, QStringLiteral("leaf"), nullptr);
    model.appendNode(nullptr, leaf);
    QCOMPARE(model.rowCount(model.index(0, 0)), 0);
    QVERIFY(!model.parent(model.index(0, 0)).isValid());

    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    model.removeChildren(leaf); // no children: no signal
    QCOMPARE(removed.count(), 0);
    model.removeNode(leaf); // a root: invalid parent
    QCOMPARE(removed.count(), 1);
    QVERIFY(!removed.first().at(0).toModelIndex().isValid());
    QCOMPARE(model.rowCount(), 0);

    // A node that is not in the model: only its children go, no signals.
    auto* stray = new Node(0, QStringLiteral("stray"), nullptr);
    stray->children << new Node(0, QStringLiteral("c"), stray);
    model.removeNode(stray);
    QCOMPARE(stray->children.size(), 0);
    QCOMPARE(removed.count(), 1);
    delete stray;
    QVERIFY(!model.indexOfNode(nullptr).isValid());
}

void TestTreeModels::test_allNodes_preOrder()
{
    PageModel model;
    Node* a = new Node(0, QStringLiteral("A"), nullptr);
    Node* b = new Node(0, QStringLiteral("B"), nullptr);
    model.appendNodes(nullptr, {a, b});
    model.appendNodes(a, {new Node(0, QStringLiteral("A1"), nullptr), new Node(0, QStringLiteral("A2"), nullptr)});
    QCOMPARE(texts(model.allNodes()), (QStringList{"A", "A1", "A2", "B"}));
    QCOMPARE(countChildNodes(a, 0), 2);
    QCOMPARE(countChildNodes(nullptr, 0), 0);
}

void TestTreeModels::test_navTree_freshModel_twoEmptyRoots()
{
    ItemModelMain model;
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("Devices"));
    QCOMPARE(model.index(1, 0).data().toString(), QStringLiteral("Local Databases"));
    QCOMPARE(model.devicesRoot()->type, int(NAV_ROOT_DEVICE));
    QCOMPARE(model.localDbRoot()->type, int(NAV_ROOT_LOCALDB));
    QCOMPARE(model.rowCount(model.index(0, 0)), 0);
    QCOMPARE(model.rowCount(model.index(1, 0)), 0);
    QCOMPARE(model.columnCount(), 1);
    QVERIFY(!model.headerData(0, Qt::Horizontal).isValid());
}

void TestTreeModels::test_navTree_phonesAndBackups_underTester()
{
    ItemModelMain model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QTreeView view;
    view.setModel(&model);

    auto* p1 = model.addAndroidDevice(phone(QStringLiteral("S1"), QStringLiteral("One")));
    auto* p2 = model.addAndroidDevice(phone(QStringLiteral("S2"), QStringLiteral("Two")));
    QCOMPARE(p1->text, QStringLiteral("Acme One"));
    model.addDeviceCategories(p1);
    model.addDeviceCategories(p1); // once only
    QCOMPARE(p1->children.size(), 11);
    QCOMPARE(texts(p1->children).first(), QStringLiteral("Photos"));
    QCOMPARE(texts(p1->children).last(), QStringLiteral("File System"));
    QCOMPARE(p1->children.at(4)->type, int(NAV_SMS));
    model.addDeviceCategories(p2);
    QCOMPARE(countChildNodes(model.devicesRoot(), NAV_ANDROID_DEVICE), 2);
    view.expandAll();

    _LocalDbItemNode::Counts counts{};
    counts[_LocalDbItemNode::Messages] = 3;
    auto* db = model.addLocalDb(QDir(QStringLiteral("/tmp/backups/Monday")), counts);
    QCOMPARE(db->text, QStringLiteral("Monday"));
    model.refreshLocalDbChildren(db);
    QCOMPARE(texts(db->children), (QStringList{"SMS(3)", "Contacts(0)", "Calendar(0)", "Call History(0)",
                                               "Notes(0)", "Bookmarks(0)", "Playlists(0)"}));
    // Counts alone do not change texts; a refresh does.
    db->counts[_LocalDbItemNode::Playlists] = 7;
    QCOMPARE(db->children.last()->text, QStringLiteral("Playlists(0)"));
    model.refreshLocalDbChildren(db);
    QCOMPARE(db->children.last()->text, QStringLiteral("Playlists(7)"));
    QCOMPARE(model.findLocalDb(QStringLiteral("Monday")), db);

    // A phone goes away while the tree shows it.
    view.setCurrentIndex(model.indexOfNode(p1->children.at(3)));
    model.removeNode(p1);
    QCOMPARE(countChildNodes(model.devicesRoot(), NAV_ANDROID_DEVICE), 1);
    QCOMPARE(model.indexOfNode(p2).row(), 0);
    QCOMPARE(model.parent(model.index(0, 0, model.indexOfNode(p2))).row(), 0);
}

void TestTreeModels::test_navTree_rowLookAndIcons()
{
    ItemModelMain model;
    auto* p = model.addAndroidDevice(phone(QStringLiteral("S1"), QStringLiteral("One")));
    model.addDeviceCategories(p);
    for (Node* n : model.allNodes()) {
        const QModelIndex idx = model.indexOfNode(n);
        QCOMPARE(idx.data(Qt::SizeHintRole).toSize().height(), 25);
        QCOMPARE(idx.data(Qt::ToolTipRole).toString(), n->text);
        const QPixmap pm = idx.data(Qt::DecorationRole).value<QPixmap>();
        QVERIFY2(!pm.isNull(), qPrintable(n->text));
        QCOMPARE(pm.width(), 18);
    }
    // Every kind has its picture in the resources, including the unused ones.
    for (int k = NAV_ROOT_DEVICE; k <= NAV_RINGTONES; ++k)
        QVERIFY2(!QPixmap(QString::fromLatin1(navNodeIconPath(k))).isNull(), navNodeIconPath(k));
    QCOMPARE(QString::fromLatin1(navNodeIconPath(0)), QString());
    QVERIFY(!model.data(QModelIndex(), Qt::DisplayRole).isValid());
}

void TestTreeModels::test_findAndroidDevice_afterRemoval_returnsNull()
{
    ItemModelMain model;
    auto* p = model.addAndroidDevice(phone(QStringLiteral("S9"), QStringLiteral("Nine")));
    const QString id = p->device.deviceId();
    QCOMPARE(model.findAndroidDevice(id), p);
    model.removeNode(p);
    QVERIFY(!model.findAndroidDevice(id));
    QVERIFY(!model.findAndroidDevice(QString()));
}

QTEST_MAIN(TestTreeModels)
#include "test_treemodels.moc"
