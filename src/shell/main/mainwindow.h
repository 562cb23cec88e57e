// The application's only top-level window: the navigation tree on the left,
// the page of the selected node on the right, menus, a toolbar that carries
// the page's actions, and the handling of phones coming and going, virtual
// devices and local backup folders.
#pragma once

#include "phonelink/adbdevice.h"
#include "shell/abstreeitemmodel.h"
#include "shell/pageregistry.h"

#include <QItemSelection>
#include <QList>
#include <QMainWindow>
#include <QModelIndex>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>

class AbsMainForm;
class AndroidDeviceInfo;
class AndroidMonitor;
class ItemModelMain;
class MainWindow;
class MyTreeView;
class QAction;
class QLabel;
class QNetworkAccessManager;
class QNetworkReply;
class QSplitter;
class QToolBar;
class QVBoxLayout;
class _AndroidDeviceItemNode;
class _LocalDbItemNode;

struct MainWindowOptions {
    // Watch adb for phones (off in tests that have no adb stand-in).
    bool startMonitor = true;
    int monitorPollMs = 3000;
    // The "no phone found" tips; negative: never.
    int usbTipsDelayMs = 10000;
    // Run the start-up update check when it is due (and the web service is
    // configured).
    bool checkForUpdate = true;
};

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr, const MainWindowOptions& options = MainWindowOptions());
    ~MainWindow() override;

    // Replaces the page by the one of the tree's current node.
    void switchForm();
    // Recounts the backup folder of that name (case ignored) and rebuilds its
    // node's children; adds the node when the folder has none yet.
    void updateLocalDbNode(const QString& name);
    // Ends the application after a download was chosen: stops the device
    // monitor and closes the window, which ends the event loop.
    void killSelf();

    // The pages of categories (messages, contacts, ...), filled by the view
    // libraries before the window is made. A kind without a page shows a
    // page saying the view is not available yet.
    static PageRegistry& pages();

    // For tests and callers that inspect the window.
    AbsMainForm* currentPage() const { return page; }
    AbsTreeItemModel::_ItemNode* currentNode() const;
    ItemModelMain* model() const { return m_model; }
    MyTreeView* tree() const { return treeMain; }
    QToolBar* toolBar() const { return m_toolBar; }
    QSplitter* splitter() const { return m_splitter; }
    QAction* toolbarSeparator() const { return m_toolbarSeparator; }
    QList<QAction*> pageActions() const { return m_pageActions; }
    QList<QAction*> contextActions() const { return m_contextActions; }
    AndroidMonitor* monitor() const { return m_monitor.get(); }
    QNetworkAccessManager* updateRequest() const { return m_http; }
    // Selects the node (as a click on it would).
    void selectNode(AbsTreeItemModel::_ItemNode* node);
    // Phone nodes and backup recounts waiting for the modal work that uses
    // them to end.
    int pendingRemovals() const;
    int pendingRefreshes() const { return int(m_pendingRefresh.size()); }

protected:
    void resizeEvent(QResizeEvent* event) override;

protected slots:
    void onCheckVersionReadyRead(QNetworkReply* reply);
    void onMainTreeClicked(const QModelIndex& index);
    void onMainTreeSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    void onMainTreeContextMenuEvent();
    void onBackupFinished(const QString& name);
    void miRemoveLocalDb();
    void miUnmountDevice();
    void miOpenLocalDBFolder();
    void miExit();
    void miCheckForUpdate();
    void miClearCache();
    void miHelp();
    void miFeedback();
    void miAbout();
    void miHome();
    void onAndroidUSBConnected(const AdbDevice& device);
    void onAndroidUSBDisconnected(const QString& deviceId);
    void miConnectWifi();
    void androidUsbTips();

private:
    void setupUi();
    void createMenus();
    void createToolbar();
    void createStatusBar();
    void addVirtualDevices();
    void addLocalDbNodes();
    void startUpdateCheck();

    void clearPage();
    void showStartPage();
    QAction* addContextAction(const QString& text, const QString& icon, void (MainWindow::*slot)());
    // The phone nodes under "Devices" (connected phones and virtual
    // devices), less those waiting for removal (ItemModelMain::phoneNodes).
    QList<_AndroidDeviceItemNode*> phoneNodes() const;
    // Whether modal work may be using the phone node: its page or the
    // current node is on it, or a page holds its descriptor.
    bool nodeInUse(const _AndroidDeviceItemNode* node) const;
    // Removes the phone node now, or when the modal work that uses it has
    // ended; the page is switched to the start page first when it belongs
    // to the node.
    void removePhoneNode(_AndroidDeviceItemNode* node);
    void removeNodeNow(AbsTreeItemModel::_ItemNode* node);
    // Runs the deferred removals, recounts and tips once no modal work runs
    // any more (on ModalWork::ended, and queued after a backup), and gives
    // the memory the work freed back to the system.
    void runDeferred();
    bool pageUsesNode(const AbsTreeItemModel::_ItemNode* node) const;
    bool currentInside(const AbsTreeItemModel::_ItemNode* node) const;
    void addAndroidPhone(const AndroidDeviceInfo& device);
    _LocalDbItemNode* findLocalDbNode(const QString& name) const;
    void refreshLocalDbNode(_LocalDbItemNode* node);
    void openWebPage(const QString& path);
    void openUrl(const QUrl& url);

    MainWindowOptions m_options;

    // widgets
    QWidget* centralWidget_ = nullptr;
    QSplitter* m_splitter = nullptr;
    MyTreeView* treeMain = nullptr;
    QWidget* wdMain = nullptr;
    QToolBar* m_toolBar = nullptr;
    QLabel* m_statusLink = nullptr;

    AbsMainForm* page = nullptr;
    AbsTreeItemModel::_ItemNode* m_pageNode = nullptr; // node the page was built for
    QVBoxLayout* pageLayout = nullptr;
    ItemModelMain* m_model = nullptr;
    QAction* m_toolbarSeparator = nullptr;
    QList<QAction*> m_pageActions;
    QList<QAction*> m_contextActions;
    std::unique_ptr<AndroidMonitor> m_monitor;
    QNetworkAccessManager* m_http = nullptr;

    QPointer<AbsMainForm> m_lastClickPage;
    bool m_switching = false; // inside switchForm
    bool m_switchAgain = false;
    bool m_closing = false;
    QStringList m_pendingRefresh; // backup folders to recount once nothing runs
    bool m_tipsPending = false; // the USB tips fell due while modal work ran
    QSet<QString> m_connecting; // serials whose connection job runs
    QSet<QString> m_droppedWhileConnecting; // ... and that adb lost meanwhile
};
