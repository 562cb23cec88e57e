// The main window's side of phones, virtual devices and local backup nodes.
#include "shell/main/mainwindow.h"

#include "phonelink/androidconnectthreads.h"
#include "phonelink/androidmonitor.h"
#include "phonelink/ui/androidwifiform.h"
#include "shell/absmainform.h"
#include "shell/core/dataroot.h"
#include "shell/core/errorreport.h"
#include "shell/core/fileutils.h"
#include "shell/core/freedmemory.h"
#include "shell/itemmodelmain.h"
#include "shell/main/countryselform.h"
#include "shell/main/navsources.h"
#include "shell/messagebox.h"
#include "shell/modalwork.h"
#include "shell/mytreeview.h"
#include "shell/progressform.h"
#include "shell/runjob.h"
#include "shell/uiprompt.h"

#include <QDebug>
#include <QFileInfo>

// ----------------------------------------------------------- start-up nodes

void MainWindow::addVirtualDevices()
{
    for (const AndroidDeviceInfo& device : navsources::loadVirtualDevices(getDataDir())) {
        _AndroidDeviceItemNode* node = m_model->addAndroidDevice(device);
        m_model->addDeviceCategories(node);
    }
}

void MainWindow::addLocalDbNodes()
{
    const QDir root = getLocalDatabasesDir();
    const QStringList folders = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::NoSort);
    for (const QString& name : folders)
        m_model->addLocalDb(QDir(root.absoluteFilePath(name)));
}

// ------------------------------------------------------------ backup nodes

_LocalDbItemNode* MainWindow::findLocalDbNode(const QString& name) const
{
    // On a case-sensitive file system a name differing only in case may be a
    // folder of its own: it then gets its own node instead of refreshing this one.
    const QFileInfo asked(getLocalDatabasesDir().absoluteFilePath(name));
    const QString askedPath = asked.isDir() ? asked.canonicalFilePath() : QString();
    _LocalDbItemNode* caseless = nullptr;
    for (AbsTreeItemModel::_ItemNode* child : m_model->localDbRoot()->children) {
        if (child->type != NAV_LOCAL_DB)
            continue;
        auto* node = static_cast<_LocalDbItemNode*>(child);
        const QString folder = node->dir.dirName();
        if (folder == name)
            return node;
        if (!caseless && folder.compare(name, Qt::CaseInsensitive) == 0
            && (askedPath.isEmpty() || askedPath == QFileInfo(node->dir.absolutePath()).canonicalFilePath()))
            caseless = node;
    }
    return caseless;
}

void MainWindow::refreshLocalDbNode(_LocalDbItemNode* node)
{
    // The children are rebuilt: a page of one of them is rebuilt on the new
    // child of the same kind.
    int keepKind = 0;
    if (m_pageNode && m_pageNode->parent == node)
        keepKind = m_pageNode->type;
    const AbsTreeItemModel::_ItemNode* current = currentNode();
    const bool currentIsChild = current && current->parent == node;
    if (keepKind || currentIsChild) {
        if (!keepKind)
            keepKind = current->type;
        showStartPage();
        selectNode(node);
    }

    node->counts = navsources::countLocalDb(node->dir);
    m_model->refreshLocalDbChildren(node);

    if (keepKind) {
        for (AbsTreeItemModel::_ItemNode* child : node->children) {
            if (child->type == keepKind) {
                selectNode(child);
                break;
            }
        }
    }
}

void MainWindow::updateLocalDbNode(const QString& name)
{
    if (_LocalDbItemNode* node = findLocalDbNode(name)) {
        refreshLocalDbNode(node);
        return;
    }
    const QString path = pathUnder(getLocalDatabasesDir().absolutePath(), name);
    if (path.isEmpty() || name.contains(QLatin1Char('/')) || !QFileInfo(path).isDir()) {
        qWarning() << "no local backup folder named" << name;
        return;
    }
    _LocalDbItemNode* node = m_model->addLocalDb(QDir(path), navsources::countLocalDb(QDir(path)));
    m_model->refreshLocalDbChildren(node);
}

void MainWindow::onBackupFinished(const QString& name)
{
    // The page that emitted this may still be on the stack: the node and its
    // children are rebuilt once control is back in the event loop and no
    // modal work runs.
    if (!m_pendingRefresh.contains(name))
        m_pendingRefresh.append(name);
    QMetaObject::invokeMethod(this, &MainWindow::runDeferred, Qt::QueuedConnection);
}

void MainWindow::miRemoveLocalDb()
{
    if (!askYesNo(tr("IDS_CONFIRM_REMOVE_LOCAL_DB")))
        return;
    AbsTreeItemModel::_ItemNode* current = currentNode();
    if (!current || current->type != NAV_LOCAL_DB)
        return;
    auto* node = static_cast<_LocalDbItemNode*>(current);
    const QString root = getLocalDatabasesDir().absolutePath();
    const QString path = node->dir.absolutePath();
    // Only ever a folder inside the local backups folder.
    if (pathUnder(root, node->dir.dirName()) != QDir::cleanPath(path)) {
        showError(tr("IDS_CANT_DEL_LOCAL_DB"));
        return;
    }
    // The page holds the folder; it goes first.
    showStartPage();
    removeDir(path);
    if (QFileInfo::exists(path)) {
        showError(tr("IDS_CANT_DEL_LOCAL_DB"));
        switchForm();
        return;
    }
    showInfo(tr("IDS_REMOVE_LOCALDB_SUC"));
    removeNodeNow(node);
}

// ------------------------------------------------------------------ phones

namespace {

// Whether n is node or lies below it.
bool isWithin(const AbsTreeItemModel::_ItemNode* n, const AbsTreeItemModel::_ItemNode* node)
{
    for (; n; n = n->parent) {
        if (n == node)
            return true;
    }
    return false;
}

} // namespace

bool MainWindow::pageUsesNode(const AbsTreeItemModel::_ItemNode* node) const
{
    return isWithin(m_pageNode, node);
}

bool MainWindow::currentInside(const AbsTreeItemModel::_ItemNode* node) const
{
    return isWithin(currentNode(), node);
}

QList<_AndroidDeviceItemNode*> MainWindow::phoneNodes() const
{
    return m_model->phoneNodes();
}

int MainWindow::pendingRemovals() const
{
    return int(m_model->phoneNodes(ItemModelMain::Phones::Leaving).size());
}

bool MainWindow::nodeInUse(const _AndroidDeviceItemNode* node) const
{
    // The selection covers a page still being built on the node; another
    // page holds the descriptor when it chose the phone as a transfer
    // target.
    return pageUsesNode(node) || currentInside(node) || node->deviceInUse();
}

void MainWindow::removePhoneNode(_AndroidDeviceItemNode* node)
{
    if (!node || node->leaving)
        return;
    if (ModalWork::running() && nodeInUse(node)) {
        // The code that runs the modal work may hold the node, its page or
        // its descriptor: the node goes when that work has ended. Until
        // then it is no longer one of the connected phones.
        node->leaving = true;
        return;
    }
    removeNodeNow(node);
}

void MainWindow::removeNodeNow(AbsTreeItemModel::_ItemNode* node)
{
    const bool selected = currentInside(node);
    if (pageUsesNode(node) || selected)
        showStartPage();
    if (selected) {
        // Moving the selection off the node first keeps the view from
        // selecting (and building a page for) a neighbour of its own choice.
        AbsTreeItemModel::_ItemNode* root = node->parent ? node->parent : m_model->devicesRoot();
        selectNode(root);
    }
    m_model->removeNode(node);
}

void MainWindow::runDeferred()
{
    if (m_closing || ModalWork::running())
        return;
    for (_AndroidDeviceItemNode* node : m_model->phoneNodes(ItemModelMain::Phones::Leaving)) {
        // Removing one may have taken another with it.
        if (m_model->devicesRoot()->children.contains(node))
            removeNodeNow(node);
    }
    const QStringList refresh = m_pendingRefresh;
    m_pendingRefresh.clear();
    for (const QString& name : refresh)
        updateLocalDbNode(name);
    if (m_tipsPending) {
        m_tipsPending = false;
        androidUsbTips();
    }
    // What the jobs and pages just ended freed goes back to the system; the
    // allocator would keep their peaks for good.
    freedmemory::giveBack();
}

void MainWindow::addAndroidPhone(const AndroidDeviceInfo& device)
{
    _RootDeviceItemNode* devices = m_model->devicesRoot();
    if (!device.uid.isEmpty()) {
        for (_AndroidDeviceItemNode* phone : phoneNodes()) {
            if (phone->device.uid == device.uid) {
                removePhoneNode(phone);
                break;
            }
        }
    }
    _AndroidDeviceItemNode* node = m_model->addAndroidDevice(device);
    m_model->addDeviceCategories(node);
    treeMain->expand(m_model->indexOfNode(devices));
    selectNode(node);
    treeMain->expand(m_model->indexOfNode(node));
}

void MainWindow::onAndroidUSBConnected(const AdbDevice& adb)
{
    if (m_closing)
        return;
    if (!adb.isOnline()) {
        showWarning(QStringLiteral("Can't connect to your Android Phone.<br/><br/>"
                                   "Please try the following:<br/><br/>"
                                   "1 If you are presented with the pop up to allow debugging with the computer on "
                                   "your Android device screen. Please simply check \"Always allow from this "
                                   "computer\" and then click \"OK\" to finish.<br/><br/>"
                                   "2 Re-enable USB debugging on your Android Phone.<br/><br/>"
                                   "3 Restart your Android Phone.<br/><br/>")
                    + QStringLiteral("Error:") + adb.line.toHtmlEscaped());
    }

    m_connecting.insert(adb.serial);
    AndroidDeviceInfo device;
    bool connected = false;
    {
        ModalWork::Scope busy;
        {
            ProgressForm progress(tr("IDS_CONNECTING_ANDROID_DEVICE"), this);
            AndroidConnectWithUSBThread job(adb.serial, &progress);
            connected = runJob(progress, job) == JobResult::Succeeded;
            if (connected)
                device = job.device();
        }
        if (connected && !m_droppedWhileConnecting.contains(adb.serial))
            settleDeviceCountry(device, this);
    }
    m_connecting.remove(adb.serial);
    const bool dropped = m_droppedWhileConnecting.remove(adb.serial);

    if (!connected || m_closing)
        return;
    if (dropped) {
        qDebug() << "phone" << adb.serial << "went away while it was being connected";
        return;
    }
    addAndroidPhone(device);
}

void MainWindow::onAndroidUSBDisconnected(const QString& deviceId)
{
    if (m_connecting.contains(deviceId))
        m_droppedWhileConnecting.insert(deviceId);
    for (_AndroidDeviceItemNode* phone : phoneNodes()) {
        if (phone->device.deviceId() == deviceId) {
            removePhoneNode(phone);
            return;
        }
    }
}

void MainWindow::miUnmountDevice()
{
    AbsTreeItemModel::_ItemNode* node = currentNode();
    if (node && node->type == NAV_ANDROID_DEVICE)
        removePhoneNode(static_cast<_AndroidDeviceItemNode*>(node));
}

void MainWindow::miConnectWifi()
{
    AndroidDeviceInfo device;
    bool connected = false;
    {
        ModalWork::Scope busy;
        {
            AndroidWIFIForm form(this);
            connected = uiprompt::exec(&form) == QDialog::Accepted;
            if (connected)
                device = form.device;
        }
        if (connected)
            settleDeviceCountry(device, this);
    }
    if (connected && !m_closing)
        addAndroidPhone(device);
}

void MainWindow::androidUsbTips()
{
    // The tip is for a user who has no phone yet: a phone seen on USB, one
    // being connected or one already connected by either road says enough.
    if (m_closing || (m_monitor && m_monitor->knownCount() > 0) || !m_connecting.isEmpty())
        return;
    if (ModalWork::running()) {
        // A dialog or a job is running, perhaps the Wi-Fi connection: decide
        // once it is over.
        m_tipsPending = true;
        return;
    }
    for (const _AndroidDeviceItemNode* phone : phoneNodes()) {
        if (phone->device.folder.isEmpty())
            return;
    }
    auto link = [](const QString& path) {
        const QUrl url = appinfo::webServicePage(path);
        if (!url.isValid())
            return QString();
        return QStringLiteral(" <a href=\"%1\">How to</a>?").arg(url.toString(QUrl::FullyEncoded).toHtmlEscaped());
    };
    QString text = QStringLiteral("<b>Android device not found.</b><br/><br/>"
                                  "Want to connect Android device? If yes, please follow these steps:<br/><br/>");
    text += QStringLiteral("* Enable USB debugging on your Android device.")
        + link(QStringLiteral("/tutorial/enable-usb-debugging-on-android.html")) + QStringLiteral("<br/><br/>");
    text += QStringLiteral("* Install USB driver software on your computer.")
        + link(QStringLiteral("/install-usb-driver-software-for-android.html")) + QStringLiteral("<br/><br/>");
    showInfo(text);
}
