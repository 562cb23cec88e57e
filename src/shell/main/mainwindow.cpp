#include "shell/main/mainwindow.h"

#include "phonelink/androidmonitor.h"
#include "phonelink/ui/androiddeviceinfoform.h"
#include "platform/desktop.h"
#include "shell/aboutusform.h"
#include "shell/core/dataroot.h"
#include "shell/core/errorreport.h"
#include "shell/core/fileutils.h"
#include "shell/getstartform.h"
#include "shell/itemmodelmain.h"
#include "shell/localdbdescform.h"
#include "shell/main/unavailableform.h"
#include "shell/main/updatecheck.h"
#include "shell/messagebox.h"
#include "shell/modalwork.h"
#include "shell/mytreeview.h"
#include "shell/uiprompt.h"

#include <QAction>
#include <QCursor>
#include <QDateTime>
#include <QDebug>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPushButton>
#include <QResizeEvent>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

} // namespace

MainWindow::MainWindow(QWidget* parent, const MainWindowOptions& options)
    : QMainWindow(parent)
    , m_options(options)
{
    m_http = new QNetworkAccessManager(this);
    setupUi();

    connect(treeMain, &QTreeView::clicked, this, &MainWindow::onMainTreeClicked);
    connect(treeMain, &MyTreeView::onSelectionChanged, this, &MainWindow::onMainTreeSelectionChanged);
    connect(treeMain, &MyTreeView::createContextMenu, this, &MainWindow::onMainTreeContextMenuEvent);

    setStyleSheet(getStyleSheet());

    pageLayout = new QVBoxLayout(wdMain);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    pageLayout->setSpacing(0);
    page = new GetStartForm(this);
    pageLayout->addWidget(page);

    setWindowTitle(appinfo::productName());

    m_model = new ItemModelMain(this);
    treeMain->setModel(m_model);

    createMenus();
    createToolbar();
    createStatusBar();

    // Phone nodes and backup nodes that modal work may be using change once
    // it is over and its callers have returned.
    connect(ModalWork::instance(), &ModalWork::ended, this, &MainWindow::runDeferred, Qt::QueuedConnection);

    qRegisterMetaType<AdbDevice>("AdbDevice");
    if (m_options.startMonitor) {
        m_monitor = std::make_unique<AndroidMonitor>();
        m_monitor->setPollInterval(m_options.monitorPollMs);
        // The monitor emits from a pool thread: the calls are queued.
        connect(m_monitor.get(), &AndroidMonitor::deviceConnected, this, &MainWindow::onAndroidUSBConnected,
                Qt::QueuedConnection);
        connect(m_monitor.get(), &AndroidMonitor::deviceDisconnected, this, &MainWindow::onAndroidUSBDisconnected,
                Qt::QueuedConnection);
        m_monitor->start();
    }

    if (m_options.usbTipsDelayMs >= 0)
        QTimer::singleShot(m_options.usbTipsDelayMs, this, &MainWindow::androidUsbTips);

    addVirtualDevices();
    addLocalDbNodes();
    treeMain->expandAll();

    if (m_options.checkForUpdate)
        startUpdateCheck();
}

MainWindow::~MainWindow()
{
    m_closing = true;
    // Pages point into the tree: they go before the nodes.
    clearPage();
    // Stops the loop, waits for it and stops the private adb server.
    m_monitor.reset();
    treeMain->setModel(nullptr);
    delete m_model;
    m_model = nullptr;
}

void MainWindow::setupUi()
{
    setObjectName(QStringLiteral("MainWindow"));
    resize(1000, 680);

    centralWidget_ = new QWidget(this);
    centralWidget_->setObjectName(QStringLiteral("centralWidget"));
    auto* verticalLayout = new QVBoxLayout(centralWidget_);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    verticalLayout->setSpacing(6);
    verticalLayout->setContentsMargins(0, 0, 0, 0);

    m_splitter = new QSplitter(Qt::Horizontal, centralWidget_);
    m_splitter->setObjectName(QStringLiteral("splitter"));
    m_splitter->setHandleWidth(1);
    m_splitter->setChildrenCollapsible(false);
    verticalLayout->addWidget(m_splitter);

    treeMain = new MyTreeView(m_splitter);
    treeMain->setObjectName(QStringLiteral("treeMain"));
    treeMain->setIconSize(QSize(18, 18));
    treeMain->setIndentation(15);
    treeMain->setHeaderHidden(true);
    treeMain->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    m_splitter->addWidget(treeMain);

    wdMain = new QWidget(m_splitter);
    wdMain->setObjectName(QStringLiteral("wdMain"));
    wdMain->setStyleSheet(QString());
    m_splitter->addWidget(wdMain);

    setCentralWidget(centralWidget_);

    auto* menuBar = new QMenuBar(this);
    menuBar->setObjectName(QStringLiteral("menuBar"));
    menuBar->setGeometry(0, 0, 1000, 21);
    setMenuBar(menuBar);

    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QStringLiteral("toolBar"));
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->setAllowedAreas(Qt::TopToolBarArea);
    m_toolBar->setIconSize(QSize(52, 52));
    addToolBar(Qt::TopToolBarArea, m_toolBar);

    auto* status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("statusBar"));
    status->setStyleSheet(QStringLiteral("QStatusBar::item{border: 0px}"));
    setStatusBar(status);
}

void MainWindow::createMenus()
{
    const bool web = appinfo::webServiceUrl().isValid();
    auto add = [this](QMenu* menu, const QString& text, const QString& icon, void (MainWindow::*slot)()) {
        QAction* a = icon.isEmpty() ? menu->addAction(text) : menu->addAction(QIcon(icon), text);
        a->setShortcut(QKeySequence());
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    QMenu* menu = menuBar()->addMenu(QStringLiteral("Menu"));
    menu->setObjectName(QStringLiteral("menuMenu"));
    add(menu, tr("IDS_MI_OPEN_LOCAL_DB_FOLDER"), QStringLiteral(":res/mi_open_local_db_folder.png"),
        &MainWindow::miOpenLocalDBFolder);
    add(menu, tr("IDS_MI_EXIT"), QStringLiteral(":res/exit.png"), &MainWindow::miExit);

    QMenu* tools = menuBar()->addMenu(QStringLiteral("Tools"));
    tools->setObjectName(QStringLiteral("menuTools"));
    // The service's pages exist only when its address is configured.
    add(tools, tr("IDS_MI_CHECK_FOR_UPDATE"), QString(), &MainWindow::miCheckForUpdate)->setEnabled(web);
    add(tools, tr("IDS_MI_CLEAR_CACHE_FILES"), QString(), &MainWindow::miClearCache);
    add(tools, tr("IDS_MI_CONNECT_ANDROID_WITH_WIFI"), QString(), &MainWindow::miConnectWifi);

    QMenu* help = menuBar()->addMenu(QStringLiteral("Help"));
    help->setObjectName(QStringLiteral("menuHelp"));
    add(help, tr("IDS_MI_HELP"), QStringLiteral(":res/help.png"), &MainWindow::miHelp)->setEnabled(web);
    add(help, tr("IDS_MI_FEEDBACK"), QString(), &MainWindow::miFeedback)->setEnabled(web);
    add(help, tr("IDS_MI_ABOUT_US"), QString(), &MainWindow::miAbout);
}

void MainWindow::createToolbar()
{
    auto* spacer = new QLabel(m_toolBar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_toolBar->addWidget(spacer);
    m_toolbarSeparator = m_toolBar->addSeparator();
    QAction* home = m_toolBar->addAction(QIcon(QStringLiteral(":res/home.png")), tr("IDS_MI_HOME"));
    home->setObjectName(QStringLiteral("actionHome"));
    home->setEnabled(appinfo::webServiceUrl().isValid());
    connect(home, &QAction::triggered, this, &MainWindow::miHome);
}

void MainWindow::createStatusBar()
{
    const QUrl target = appinfo::webServicePage(QStringLiteral("/handset-ferry-ios.html"));
    if (!target.isValid())
        return;
    m_statusLink = new QLabel(this);
    m_statusLink->setObjectName(QStringLiteral("lbStatusLink"));
    // Opened through the desktop opener, as every other link is.
    m_statusLink->setOpenExternalLinks(false);
    connect(m_statusLink, &QLabel::linkActivated, this, [this, target] { openUrl(target); });
    m_statusLink->setText(
        QStringLiteral("<a style=\"color:#2772BC;text-decoration:none\" href=\"%1\">%2</a>")
            .arg(target.toString(QUrl::FullyEncoded).toHtmlEscaped(), tr("IDS_STATUS_OTHER_EDITION").toHtmlEscaped()));
    statusBar()->addWidget(m_statusLink);
}

// ------------------------------------------------------------------- pages

PageRegistry& MainWindow::pages()
{
    static PageRegistry registry;
    return registry;
}

AbsTreeItemModel::_ItemNode* MainWindow::currentNode() const
{
    return AbsTreeItemModel::nodeOf(treeMain->currentIndex());
}

void MainWindow::selectNode(AbsTreeItemModel::_ItemNode* node)
{
    const QModelIndex index = m_model->indexOfNode(node);
    if (index.isValid())
        treeMain->setCurrentIndex(index);
}

QAction* MainWindow::addContextAction(const QString& text, const QString& icon, void (MainWindow::*slot)())
{
    auto* action = new QAction(QIcon(icon), text, this);
    connect(action, &QAction::triggered, this, slot);
    m_contextActions.append(action);
    return action;
}

void MainWindow::clearPage()
{
    for (QAction* a : std::as_const(m_pageActions)) {
        m_toolBar->removeAction(a);
        a->deleteLater();
    }
    m_pageActions.clear();
    for (QAction* a : std::as_const(m_contextActions))
        a->deleteLater();
    m_contextActions.clear();
    if (page) {
        page->hide();
        pageLayout->removeWidget(page);
        delete page;
        page = nullptr;
    }
    m_pageNode = nullptr;
}

void MainWindow::showStartPage()
{
    clearPage();
    page = new GetStartForm(this);
    pageLayout->addWidget(page);
}

void MainWindow::switchForm()
{
    if (m_closing)
        return;
    // A page's constructor may run modal work, inside which a phone can come
    // or go and move the selection: the switch is then done again at the end.
    if (m_switching) {
        m_switchAgain = true;
        return;
    }
    m_switching = true;
    // The page's constructor may load under a progress dialog.
    ModalWork::Scope busy;
    do {
        m_switchAgain = false;
        clearPage();

        AbsTreeItemModel::_ItemNode* node = currentNode();
        AbsMainForm* newPage = nullptr;
        const int kind = node ? node->type : 0;
        switch (kind) {
        case NAV_ROOT_DEVICE:
            break;
        case NAV_ROOT_LOCALDB:
            addContextAction(tr("IDS_OPEN_LOCAL_DB_FOLDER"), QStringLiteral(":res/mi_open_local_db_folder.png"),
                             &MainWindow::miOpenLocalDBFolder);
            break;
        case NAV_IPHONE_DEVICE:
            addContextAction(tr("IDS_UNMOUNT_DEVICE"), QStringLiteral(":res/unmount.png"),
                             &MainWindow::miUnmountDevice);
            break;
        case NAV_ANDROID_DEVICE:
            addContextAction(tr("IDS_UNMOUNT_DEVICE"), QStringLiteral(":res/unmount.png"),
                             &MainWindow::miUnmountDevice);
            newPage = new AndroidDeviceInfoForm(&static_cast<_AndroidDeviceItemNode*>(node)->device, this);
            break;
        case NAV_LOCAL_DB: {
            auto* db = static_cast<_LocalDbItemNode*>(node);
            if (db->children.isEmpty())
                refreshLocalDbNode(db);
            addContextAction(tr("IDS_MI_REMVOE_LOCALDB"), QStringLiteral(":res/mi_delete.png"),
                             &MainWindow::miRemoveLocalDb);
            newPage = new LocalDbDescForm(db->dir, db->counts, this);
            break;
        }
        default:
            if (kind >= NAV_SMS && kind <= NAV_RINGTONES) {
                // Pages that back data up announce it; the backup's node is
                // refreshed.
                newPage = pages().create(kind, node->parent, m_model->devicesRoot(), this,
                                         [this](const QString& name) { onBackupFinished(name); });
                if (!newPage)
                    newPage = new UnavailableForm(node->text, this);
            }
            break;
        }
        if (m_switchAgain) {
            // The selection moved while the page was being built.
            delete newPage;
            continue;
        }

        if (!newPage) {
            page = new GetStartForm(this);
            pageLayout->addWidget(page);
            break;
        }
        page = newPage;
        m_pageNode = node;
        m_pageActions = page->createToolbarActions();
        m_contextActions.append(m_pageActions);
        pageLayout->addWidget(page);
        for (QAction* a : std::as_const(m_pageActions)) {
            if (!a->icon().isNull())
                m_toolBar->insertAction(m_toolbarSeparator, a);
        }
    } while (m_switchAgain);
    m_switching = false;
}

void MainWindow::onMainTreeSelectionChanged(const QItemSelection& selected, const QItemSelection&)
{
    if (!selected.isEmpty())
        switchForm();
}

void MainWindow::onMainTreeClicked(const QModelIndex&)
{
    if (page && page == m_lastClickPage.data()) {
        switchForm();
        m_lastClickPage = page;
    } else {
        m_lastClickPage = page;
    }
}

void MainWindow::onMainTreeContextMenuEvent()
{
    if (m_contextActions.isEmpty())
        return;
    QMenu menu(this);
    for (QAction* a : std::as_const(m_contextActions))
        menu.addAction(a);
    ModalWork::Scope busy;
    menu.exec(QCursor::pos());
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    const int w = event->size().width();
    m_splitter->setSizes({int(w * 0.2), int(w * 0.8)});
}

// ------------------------------------------------------------------- menus

void MainWindow::openUrl(const QUrl& url)
{
    desktop::openUrl(url);
}

void MainWindow::openWebPage(const QString& path)
{
    const QUrl url = appinfo::webServicePage(path);
    if (url.isValid())
        openUrl(url);
}

void MainWindow::miOpenLocalDBFolder()
{
    openUrl(QUrl::fromLocalFile(getLocalDatabasesDir().absolutePath()));
}

void MainWindow::miExit()
{
    close();
}

void MainWindow::miClearCache()
{
    // The page may hold files of the cache open: it goes first and is built
    // again afterwards, loading its phone's data anew.
    const bool rebuildPage = m_pageNode != nullptr;
    if (rebuildPage)
        showStartPage();
    const QString cache = getDataDir().absoluteFilePath(QLatin1String(dataroot::kAndroidCache));
    if (QFileInfo::exists(cache))
        removeDir(cache);
    // Whatever went, no phone's cache mirrors the phone any more: every page
    // loads its kind again, and a transfer loads its target's cache before
    // it compares with it.
    // (A phone that is leaving too: a page may still hold its descriptor.)
    for (_AndroidDeviceItemNode* phone : m_model->phoneNodes(ItemModelMain::Phones::All))
        phone->device.forgetLoadTimes();
    if (QFileInfo::exists(cache))
        showError(tr("IDS_CLEAR_CACHES_FAILED"));
    else
        showInfo(tr("IDS_CLEAR_CACHES_SUC"));
    if (rebuildPage)
        switchForm();
}

void MainWindow::miHelp()
{
    openWebPage(QStringLiteral("/handset-ferry/help.html"));
}

void MainWindow::miFeedback()
{
    openWebPage(QStringLiteral("/support.html"));
}

void MainWindow::miHome()
{
    openWebPage(QStringLiteral("/handset-ferry.html"));
}

void MainWindow::miAbout()
{
    AboutUsForm about;
    uiprompt::exec(&about);
}

// ------------------------------------------------------------ update check

void MainWindow::startUpdateCheck()
{
    const QUrl base = appinfo::webServiceUrl();
    if (!base.isValid())
        return;
    if (!updatecheck::isCheckDue(updatecheck::stampPath(), QDateTime::currentSecsSinceEpoch()))
        return;
    QNetworkRequest request(updatecheck::checkUrl(base));
    request.setTransferTimeout(updatecheck::kRequestTimeoutMs);
    QNetworkReply* reply = m_http->get(request);
    connect(reply, &QNetworkReply::finished, this, [this, reply] { onCheckVersionReadyRead(reply); });
}

void MainWindow::onCheckVersionReadyRead(QNetworkReply* reply)
{
    reply->deleteLater();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray body = reply->read(updatecheck::kMaxReplyBytes);
    const QString stamp = updatecheck::stampPath();
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    switch (updatecheck::classify(reply->error() == QNetworkReply::NoError ? status : 0, body)) {
    case updatecheck::Reply::Ignored:
        return;
    case updatecheck::Reply::Current:
        updatecheck::writeStamp(stamp, now);
        return;
    case updatecheck::Reply::NewVersion:
        break;
    }

    const QUrl address(updatecheck::downloadAddress(body));
    if (QFileInfo::exists(stamp)) {
        std::unique_ptr<QMessageBox> box(createMessageBox(
            QMessageBox::Question,
            tr("A new version of %1 is available. To support your phone, please download the latest version.")
                .arg(appinfo::productName()),
            QMessageBox::Yes | QMessageBox::No));
        box->setWindowTitle(appinfo::productName());
        box->button(QMessageBox::Yes)->setText(tr("Download now"));
        box->button(QMessageBox::No)->setText(tr("Download later"));
        const int answer = uiprompt::exec(box.get());
        updatecheck::writeStamp(stamp, now);
        if (answer == QMessageBox::Yes) {
            openUrl(address);
            killSelf();
        }
        return;
    }

    // No check was ever recorded: this version is too old to go on.
    std::unique_ptr<QMessageBox> box(createMessageBox(
        QMessageBox::Warning,
        tr("This version of Quillharbor software has become obsolete. Please download the latest version to install "
           "on your computer."),
        QMessageBox::Ok));
    box->setWindowTitle(appinfo::productName());
    box->button(QMessageBox::Ok)->setText(tr("Download"));
    uiprompt::exec(box.get());
    openUrl(address);
    killSelf();
}

void MainWindow::miCheckForUpdate()
{
    const QUrl base = appinfo::webServiceUrl();
    if (base.isValid())
        openUrl(updatecheck::updatePageUrl(base));
}

void MainWindow::killSelf()
{
    m_monitor.reset();
    close();
}
