// Base of the page tests: the navigation tree the pages hang under, with
// nodes for simulated phones, virtual devices and backup folders, a model
// checker, a fresh data root for every test function and, when the class
// names one, a simulated phone that every test function starts with.
//
//   class TestCallHistoryPage : public PageTest {
//       Q_OBJECT
//   public:
//       TestCallHistoryPage() : PageTest({.address = "127.0.112.1", .fixture = "tests/.../phone_calls.json"}) {}
//   private Q_SLOTS:
//       void firstVisit_loadsOnce() { ScriptedPrompt prompt; CallHistoryMainForm page(m_phone, devicesRoot()); ... }
//   };
#pragma once

#include "shell/itemmodelmain.h"

#include "simphone.h"
#include "testsupport.h"

#include "scriptedprompt.h"

#include <QMenu>
#include <QObject>
#include <QtTest>

#include <functional>
#include <memory>
#include <optional>
#include <source_location>

class QAbstractItemModel;
class AbsMainForm;
class QAbstractItemView;
class QAction;

namespace testsupport {

class PageTest : public QObject {
    Q_OBJECT

public:
    // The class's simulated phone: Wi-Fi at address with a fixture file (a
    // path below the source tree), started once for the class (m_sim); with
    // addEachTest every test function gets a node for it (m_phone).
    struct ClassPhone {
        QString address;
        QString fixture;
        bool addEachTest = true;
    };

    PageTest() = default;
    explicit PageTest(ClassPhone phone);
    ~PageTest() override;

    // Commands as the user gives them: the page's toolbar action, or the
    // entry of its context menu `menu`, with this text is triggered, as a
    // click does. Checking helpers (see CHECKED): they fail, naming the
    // action and the page, when there is no such action, when it is
    // disabled, or when the context menu does not open (nothing selected).
    //
    //     CHECKED(triggerAction(page, QStringLiteral("Extract Call history")));
    [[nodiscard]] static bool triggerAction(AbsMainForm& page, const QString& text,
                                            std::source_location at = std::source_location::current());
    template <class Page>
    [[nodiscard]] static bool triggerMenuAction(Page& page, const QString& text, int menu = 0,
                                                std::source_location at = std::source_location::current())
    {
        const std::unique_ptr<QMenu> popup(page.createContextMenu(menu));
        const QString where = QStringLiteral("context menu %1 of %2").arg(menu).arg(pageName(page));
        HELPER_VERIFY2(popup, qPrintable(where + QStringLiteral(" does not open: nothing is selected")));
        return triggerAmong(popup->actions(), text, where, at);
    }
    // Presses Cancel on the visible progress dialog once ready() holds while
    // run() runs; returns whether it was pressed.
    static bool cancelProgressWhen(QObject* context, const std::function<bool()>& ready,
                                   const std::function<void()>& run);

protected Q_SLOTS:
    // Run by QtTest for every page test class. initTestCase: translations, a
    // port pinned for the sessions, the class's phone started. init: the
    // phone's node. cleanup: the tree's nodes and the data root's contents
    // go. A class that needs more declares the slot and calls these first.
    void initTestCase();
    void init();
    void cleanup();

protected:
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
    // The display texts of one column, top to bottom.
    static QStringList column(const QAbstractItemModel& model, int col, const QModelIndex& parent = QModelIndex());
    // What a tool tip, message box or label left to guess the format shows
    // of text: the text itself, or what remains once Qt took it for HTML (a
    // picture as U+FFFC).
    static QString shownText(const QString& text);
    // shownText of the tool tips of one column as our item views show them
    // (shownToolTip), top to bottom.
    static QStringList shownToolTips(const QAbstractItemModel& model, int col,
                                     const QModelIndex& parent = QModelIndex());
    // Makes exactly these rows the view's selection.
    static void selectRows(QAbstractItemView* view, const QList<int>& rows);
    // The actions' texts, in order.
    static QStringList texts(const QList<QAction*>& actions);

    // Builds Page on a backup folder twice: as the folder is, then made a
    // read-only medium. read(page, prompt) runs the page's reading commands
    // (listing, exports, prints) each time, with nothing asked but what it
    // scripts; not one byte of the folder changes and nothing is added. A
    // checking helper: call it through CHECKED.
    template <class Page, class Read>
    [[nodiscard]] bool checkReadOnlyBackup(_LocalDbItemNode* backup, Read read,
                                           std::source_location at = std::source_location::current())
    {
        const QString dir = backup->dir.absolutePath();
        const QMap<QString, QByteArray> before = fileDigests(dir);
        for (const bool readOnly : {false, true}) {
            std::optional<ReadOnlyMedium> medium;
            if (readOnly) {
                medium.emplace(dir);
                if (!medium->ok())
                    qWarning("no read-only medium here: only the unchanged bytes are checked");
            }
            ScriptedPrompt prompt;
            {
                Page page(backup, devicesRoot());
                read(page, prompt);
            }
            HELPER_VERIFY2(!QTest::currentTestFailed(),
                           readOnly ? "on the read-only medium" : "on the folder as it is");
            HELPER_VERIFY_SCRIPT_DONE(prompt);
            HELPER_COMPARE(fileDigests(dir), before);
        }
        return true;
    }

    // Whether each action is enabled, in order.
    static QList<bool> enabledStates(const QList<QAction*>& actions);

private:
    static QString pageName(const QWidget& page);
    static bool triggerAmong(const QList<QAction*>& actions, const QString& text, const QString& where,
                             std::source_location at);
    // The toolbar actions the window installed on page (once, right after
    // building it): the page's actions named by its command table. A page
    // built alone gets them here the first time, as the window would.
    static QList<QAction*> installedActions(AbsMainForm& page);

    ItemModelMain m_tree;
    std::optional<ClassPhone> m_classPhone;

protected:
    std::unique_ptr<SimPhone> m_sim; // the class's phone, when it names one
    _AndroidDeviceItemNode* m_phone = nullptr; // its node in this test function
};

} // namespace testsupport
