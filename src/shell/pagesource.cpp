#include "pagesource.h"

#include "phonelink/androiddeviceinfo.h"
#include "shell/datasourceselform.h"
#include "shell/itemmodelmain.h"
#include "shell/navnodekind.h"

#include <QCoreApplication>
#include <QRegularExpression>

PageSource::PageSource(Node* sourceNode, Node* devicesRoot)
    : m_node(sourceNode)
    , m_devicesRoot(devicesRoot)
    , m_kind(sourceNode ? sourceNode->kind() : 0)
{
    if (m_kind == NAV_ANDROID_DEVICE)
        m_device = static_cast<_AndroidDeviceItemNode*>(sourceNode)->sharedDevice();
}

int PageSource::kind() const
{
    return m_kind;
}

bool PageSource::isPhonePage() const
{
    return kind() == NAV_ANDROID_DEVICE;
}

bool PageSource::isConnectedPhone() const
{
    return isPhonePage() && device()->folder.isEmpty();
}

bool PageSource::isVirtualDevice() const
{
    return isPhonePage() && !device()->folder.isEmpty();
}

bool PageSource::isBackup() const
{
    return kind() == NAV_LOCAL_DB;
}

AndroidDeviceInfo* PageSource::device() const
{
    return m_device.get();
}

QString PageSource::mcc() const
{
    return isPhonePage() ? device()->mmc : QString();
}

QString PageSource::dataFolder() const
{
    if (isVirtualDevice())
        return QDir(device()->folder).absolutePath();
    if (isConnectedPhone())
        return device()->cacheDir().absolutePath();
    if (isBackup())
        return static_cast<_LocalDbItemNode*>(m_node)->dir.absolutePath();
    return QString();
}

QString PageSource::databasePath(const QString& fileName) const
{
    const QString folder = dataFolder();
    return folder.isEmpty() ? QString() : QDir(folder).absoluteFilePath(fileName);
}

QString PageSource::messageStoreFolder() const
{
    if (isPhonePage())
        return device()->cacheDir().absolutePath();
    return dataFolder();
}

int PageSource::phoneCount() const
{
    int n = 0;
    for (const _AndroidDeviceItemNode* phone : ItemModelMain::phoneNodes(m_devicesRoot)) {
        if (phone->device.folder.isEmpty())
            ++n;
    }
    return n;
}

QList<_AndroidDeviceItemNode*> PageSource::transferTargets() const
{
    QList<_AndroidDeviceItemNode*> targets;
    // A virtual device may carry the uid of the phone it was taken from; it
    // only ever leaves itself out.
    const QString ownUid = isConnectedPhone() ? device()->uid : QString();
    for (_AndroidDeviceItemNode* phone : ItemModelMain::phoneNodes(m_devicesRoot)) {
        if (phone == m_node || !phone->device.folder.isEmpty())
            continue;
        if (!ownUid.isEmpty() && phone->device.uid == ownUid)
            continue;
        targets.append(phone);
    }
    return targets;
}

std::shared_ptr<AndroidDeviceInfo> PageSource::chooseTransferTarget(QWidget* parent) const
{
    QList<DataSourceItem> items;
    for (const _AndroidDeviceItemNode* phone : transferTargets())
        items.append(
            DataSourceItem(QStringLiteral(":res/android.png"), phone->device.displayName(), phone->device.deviceId()));
    DataSourceSelForm form(parent);
    const QString chosen
        = form.setDataSources(QCoreApplication::translate("QObject", "IDS_SEL_ONE_ANDROID_DEVICE"), items);
    if (chosen.isEmpty())
        return nullptr;
    // The tree may have changed while the chooser was open.
    for (const _AndroidDeviceItemNode* phone : transferTargets()) {
        if (phone->device.deviceId() == chosen)
            return phone->sharedDevice();
    }
    return nullptr;
}

QString PageSource::defaultBackupName() const
{
    static const QRegularExpression forbidden(QStringLiteral("[\\\\/:\\*\\?\"<>|\\n\\r\\t]+"));
    const QString name = isPhonePage() ? device()->displayName() : QString();
    return QString(name).remove(forbidden) + QStringLiteral("-backup");
}
