// The tree model base under QAbstractItemModelTester while nodes come and go:
// a child's parent keeps its right row after an earlier sibling went, and a
// node whose parent has left the model goes without announcing a row.
#include "shell/core/translations.h"
#include "shell/itemmodelmain.h"

#include <QtTest>
#include <QtWidgets>

using namespace Qt::StringLiterals;

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

} // namespace

class TestTreeModels : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(installTranslations(qApp)); }

    void pageModel_addRemoveUnderTester_parentsStayRight()
    {
        PageModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QTreeView view; // a real consumer of the signals
        view.setModel(&model);

        QList<Node*> groups;
        for (int i = 0; i < 4; ++i)
            groups << new Node(0, u"G%1"_s.arg(i), nullptr);
        model.appendNodes(nullptr, groups);
        for (Node* g : groups)
            for (int j = 0; j < 3; ++j)
                model.appendNode(g, new Node(1, g->text + u".%1"_s.arg(j), nullptr));
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

        // A node whose parent has left the model goes without a word: its
        // row is not one of the model's top-level rows.
        Node detached(0, u"gone"_s, nullptr);
        model.appendNodes(&detached, {new Node(1, u"gone.0"_s, nullptr), new Node(1, u"gone.1"_s, nullptr)});
        QSignalSpy aboutToGo(&model, &QAbstractItemModel::rowsAboutToBeRemoved);
        model.removeNode(detached.children.first());
        QCOMPARE(detached.children.size(), 1);
        QCOMPARE(aboutToGo.count(), 0);
        QCOMPARE(removed.count(), 1);
        QCOMPARE(model.rowCount(), 3);
    }
};

QTEST_MAIN(TestTreeModels)
#include "test_treemodels.moc"
