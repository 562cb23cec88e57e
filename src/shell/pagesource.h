// What a category page shows the data of: the node above its category node,
// resolved once. A phone page's source is a connected phone or a virtual
// device (a phone's files in a local folder); a backup page's source is a
// local backup folder.
//
// The one rule for virtual devices: they count as phone pages for what the
// page offers, but nothing reaches for a phone that is not there. Commands
// that need the page's own device to be connected are disabled on a virtual
// device page; transfers from it to a connected phone still work; a virtual
// device is never a transfer target.
#pragma once

#include "shell/abstreeitemmodel.h"

#include <QDir>
#include <QList>
#include <QString>

#include <memory>

class AndroidDeviceInfo;
class QWidget;
class _AndroidDeviceItemNode;

class PageSource {
public:
    using Node = AbsTreeItemModel::_ItemNode;

    // Neither node is owned; both may be null. A phone node's descriptor
    // is shared: the source keeps it for as long as it lives.
    PageSource(Node* sourceNode, Node* devicesRoot);

    Node* node() const { return m_node; }
    Node* devicesRoot() const { return m_devicesRoot; }
    // The source node's kind (NAV_ANDROID_DEVICE, NAV_LOCAL_DB, or another).
    int kind() const;

    // A phone node: a connected phone or a virtual device.
    bool isPhonePage() const;
    bool isConnectedPhone() const;
    bool isVirtualDevice() const;
    bool isBackup() const;
    // A phone or a backup: a source the pages can read.
    bool isValid() const { return isPhonePage() || isBackup(); }

    // The descriptor of the phone node (connected or virtual), kept alive
    // by the source; null for a backup. Jobs get this pointer.
    AndroidDeviceInfo* device() const;
    // The phone's country (MCC); empty for a backup.
    QString mcc() const;

    // Where the kind databases ("calls.db", "contacts.db", ...) of the
    // source live: a virtual device's own folder, a connected phone's cache
    // folder, a backup folder. Empty when the source is neither.
    QString dataFolder() const;
    QString databasePath(const QString& fileName) const;
    // Where the source's message store lives: a phone's (also a virtual
    // device's) cache folder, or the backup folder. Empty when neither.
    QString messageStoreFolder() const;

    // Connected phones under the Devices root (virtual devices and phones
    // that have left are not counted): what the transfer commands and their
    // enabling count.
    int phoneCount() const;
    // Where this page can send data: the connected phones of
    // ItemModelMain::phoneNodes, less the page's own phone (same uid), in
    // tree order.
    QList<_AndroidDeviceItemNode*> transferTargets() const;
    bool canTransfer() const { return !transferTargets().isEmpty(); }
    // Asks which target (the device chooser) and looks it up again; null
    // when the user cancelled or the phone left meanwhile. The caller holds
    // the chosen phone's descriptor for as long as its transfer needs it,
    // which may be longer than the phone's node lives.
    std::shared_ptr<AndroidDeviceInfo> chooseTransferTarget(QWidget* parent) const;

    // The backup chooser's suggestion: the device's display name without
    // the characters a folder name cannot hold, then "-backup".
    QString defaultBackupName() const;

private:
    Node* m_node;
    Node* m_devicesRoot;
    int m_kind;
    std::shared_ptr<AndroidDeviceInfo> m_device;
};
