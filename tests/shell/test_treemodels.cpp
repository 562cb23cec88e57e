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
    void test_navTree_phonesAndBackups_underTester();
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

    // Hand out an index of G3's child so G3 caches its index at row 3.
    const QModelIndex g3 = model.index(3, 0);
    QCOMPARE(model.parent(model.index(1, 0, g3)), g3);

    // Removing an earlier sibling moves G3 to row 2: the parent of its child
    // must say so, not the stale row 3.
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    model.removeNode(groups[0]);
    QVERIFY(!removed.last().at(0).toModelIndex().isValid()); // a root: invalid parent
    removed.clear();
    QCOMPARE(model.parent(model.index(1, 0, model.indexOfNode(groups[3]))).row(), 2);

    model.removeChildren(groups[1]);
    model.removeChildren(groups[1]); // no children: no signal
    QCOMPARE(removed.count(), 1);
    QCOMPARE(model.rowCount(model.indexOfNode(groups[1])), 0);
    model.removeChildren(nullptr);
    QCOMPARE(model.rowCount(), 0);
}

void TestTreeModels::test_navTree_phonesAndBackups_underTester()
{
    ItemModelMain model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QTreeView view;
    view.setModel(&model);
    QCOMPARE(texts(model.allNodes()), (QStringList {"Devices", "Local Databases"}));

    auto* p1 = model.addAndroidDevice(phone(QStringLiteral("S1"), QStringLiteral("One")));
    auto* p2 = model.addAndroidDevice(phone(QStringLiteral("S2"), QStringLiteral("Two")));
    model.addDeviceCategories(p1);
    model.addDeviceCategories(p1); // once only
    QCOMPARE(p1->children.size(), 11);
    model.addDeviceCategories(p2);
    view.expandAll();

    _LocalDbItemNode::Counts counts {};
    counts[_LocalDbItemNode::Messages] = 3;
    auto* db = model.addLocalDb(QDir(QStringLiteral("/tmp/backups/Monday")), counts);
    model.refreshLocalDbChildren(db);
    db->counts[_LocalDbItemNode::Playlists] = 7;
    model.refreshLocalDbChildren(db); // refreshed in place
    QCOMPARE(texts(db->children),
             (QStringList {"SMS(3)", "Contacts(0)", "Calendar(0)", "Call History(0)", "Notes(0)", "Bookmarks(0)",
                           "Playlists(7)"}));

    // Every row has its picture, from the resources.
    for (Node* n : model.allNodes())
        QVERIFY2(!model.indexOfNode(n).data(Qt::DecorationRole).value<QPixmap>().isNull(), qPrintable(n->text));
    for (int k = NAV_ROOT_DEVICE; k <= NAV_RINGTONES; ++k)
        QVERIFY2(!QPixmap(QString::fromLatin1(navNodeIconPath(k))).isNull(), navNodeIconPath(k));

    // A phone goes away while the tree shows it.
    const QString id = p1->device.deviceId();
    QCOMPARE(model.findAndroidDevice(id), p1);
    view.setCurrentIndex(model.indexOfNode(p1->children.at(3)));
    model.removeNode(p1);
    QVERIFY(!model.findAndroidDevice(id));
    QCOMPARE(countChildNodes(model.devicesRoot(), NAV_ANDROID_DEVICE), 1);
    QCOMPARE(model.parent(model.index(0, 0, model.indexOfNode(p2))).row(), 0);
}

QTEST_MAIN(TestTreeModels)
#include "test_treemodels.moc"
