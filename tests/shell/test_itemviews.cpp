// Our item views show a model's tool tip as plain text: a text that looks
// like markup shows as written, whatever the model holds; a model that made
// its tips plain itself is shown as it is, not escaped twice.
#include "shell/core/plaintext.h"
#include "shell/mylistview.h"
#include "shell/mytreeview.h"

#include "testsupport.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

using namespace Qt::StringLiterals;

class TestItemViews : public QObject {
    Q_OBJECT

private slots:
    void toolTip_showsTheModelsTextAsWritten_data()
    {
        QTest::addColumn<bool>("list"); // MyListView, else MyTreeView
        QTest::addColumn<bool>("madePlain"); // the model escapes its tips
        QTest::newRow("tree") << false << false;
        QTest::newRow("list") << true << false;
        QTest::newRow("tree, model made them plain") << false << true;
    }
    void toolTip_showsTheModelsTextAsWritten()
    {
        QFETCH(bool, list);
        QFETCH(bool, madePlain);
        const QString written = u"<b>Bold</b> & <img src=x.png> Co"_s;
        QStandardItemModel model;
        auto* item = new QStandardItem(u"row"_s);
        item->setToolTip(madePlain ? asPlainText(written) : written);
        model.appendRow(item);
        model.appendRow(new QStandardItem(u"no tip"_s));
        if (madePlain)
            model.setProperty(kToolTipsMadePlain, true);
        std::unique_ptr<QAbstractItemView> view;
        if (list)
            view = std::make_unique<MyListView>();
        else
            view = std::make_unique<MyTreeView>();
        view->setModel(&model);
        view->resize(300, 200);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));

        const auto hover = [&view](int row) {
            const QPoint at = view->visualRect(view->model()->index(row, 0)).center();
            QHelpEvent help(QEvent::ToolTip, at, view->viewport()->mapToGlobal(at));
            QCoreApplication::sendEvent(view->viewport(), &help);
        };
        hover(0);
        QTRY_VERIFY_WITH_TIMEOUT(QToolTip::isVisible(), testsupport::kHangGuardMs);
        QTextDocument shown;
        shown.setHtml(QToolTip::text());
        QCOMPARE(shown.toPlainText(), written);
        hover(1);
        QTRY_VERIFY_WITH_TIMEOUT(!QToolTip::isVisible(), testsupport::kHangGuardMs);
    }
};

QTEST_MAIN(TestItemViews)
#include "test_itemviews.moc"
