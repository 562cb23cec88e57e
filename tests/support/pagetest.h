// Base of the page tests: the navigation tree the pages hang under, with
// nodes for simulated phones, virtual devices and backup folders, a model
// checker, and a fresh data root for every test function.
//
//   class TestCallHistoryPage : public PageTest {
//       Q_OBJECT
//   private Q_SLOTS:
//       void initTestCase() { initPageTests(); m_phone = std::make_unique<SimPhone>(...); }
//       void cleanup() { cleanupPage(); }
//       void firstVisit_loadsOnce() { ScriptedPrompt prompt; CallHistoryMainForm page(addPhone(*m_phone),
//       devicesRoot()); ... }
//   };
#pragma once

#include "shell/itemmodelmain.h"

#include "simphone.h"
#include "testsupport.h"

#include <QObject>

class QAbstractItemModel;
class QAbstractItemView;
class QAction;

namespace testsupport {

// The display texts of one column of a flat model, row by row.
QStringList columnTexts(const QAbstractItemModel& model, int column);
// The texts of actions (toolbar entries, menu entries).
QStringList actionTexts(const QList<QAction*>& actions);
// Selects exactly these rows of the view.
void selectRows(QAbstractItemView* view, const QList<int>& rows);

class PageTest : public QObject {
    Q_OBJECT

protected:
    // Call from initTestCase: translations, a port pinned for the sessions.
    void initPageTests();
    // Call from cleanup: the tree's nodes and the data root's contents go.
    void cleanupPage();

    ItemModelMain& tree() { return m_tree; }
    AbsTreeItemModel::_ItemNode* devicesRoot() { return m_tree.devicesRoot(); }
    // A phone node for the simulated phone (a copy of its descriptor).
    _AndroidDeviceItemNode* addPhone(const SimPhone& phone);
    // A virtual device node whose folder (under the data root's virtual
    // devices) is made and returned through folder.
    _AndroidDeviceItemNode* addVirtualDevice(const QString& name, QString* folder = nullptr);
    // A backup folder node (the folder is made).
    _LocalDbItemNode* addBackup(const QString& name);
    // Checks every change of the model for the rest of its life.
    static void checkModel(QAbstractItemModel* model);

private:
    ItemModelMain m_tree;
};

} // namespace testsupport
