// The navigation tree: the "Devices" and "Local Databases" roots, a node per
// phone with its category children and a node per local backup with its
// counted categories.
#pragma once

#include "phonelink/androiddeviceinfo.h"
#include "shell/abstreeitemmodel.h"
#include "shell/navnodekind.h"

#include <QDir>

#include <array>
#include <memory>

class _RootDeviceItemNode : public AbsTreeItemModel::_ItemNode {
public:
    explicit _RootDeviceItemNode(const QString& text);
};

// A connected phone or a virtual device with its descriptor copy. The node
// shares the descriptor with the pages that show the phone (PageSource keeps
// a copy) and with the transfer that chose it as its target, so a descriptor
// handed to a job by pointer lives as long as they hold it, even when the
// node went first.
class _AndroidDeviceItemNode : public AbsTreeItemModel::_ItemNode {
    std::shared_ptr<AndroidDeviceInfo> m_device; // first: device refers to it

public:
    _AndroidDeviceItemNode(const AndroidDeviceInfo& info, _ItemNode* parent);

    // Another owner of the descriptor.
    std::shared_ptr<AndroidDeviceInfo> sharedDevice() const { return m_device; }
    // Whether a page holds the descriptor besides the node.
    bool deviceInUse() const { return m_device.use_count() > 1; }

    AndroidDeviceInfo& device; // the shared descriptor
    // The phone has left; the node waits for the modal work that uses it to
    // end before it goes. It is no longer one of the connected phones.
    bool leaving = false;
};

// A local backup folder with its record counts.
class _LocalDbItemNode : public AbsTreeItemModel::_ItemNode {
public:
    enum Count { Messages, Contacts, CalendarEvents, Notes, Bookmarks, CallRecords, Playlists, CountOfCounts };
    using Counts = std::array<qint64, CountOfCounts>;
    // A count that could not be read (shown as "?", never as 0).
    static constexpr qint64 kUnknownCount = -1;
    // The count as the tree and the backup's page show it.
    static QString countText(qint64 count);

    _LocalDbItemNode(const QDir& dir, const Counts& counts, _ItemNode* parent);
    QDir dir;
    Counts counts {}; // zero until the folder was counted
};

class ItemModelMain : public AbsTreeItemModel {
    Q_OBJECT

public:
    explicit ItemModelMain(QObject* parent = nullptr);

    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    _RootDeviceItemNode* devicesRoot() const { return m_devicesRoot; }
    _ItemNode* localDbRoot() const { return m_localDbRoot; }

    // Appends a phone node as the last child of "Devices".
    _AndroidDeviceItemNode* addAndroidDevice(const AndroidDeviceInfo& info);
    // Adds the phone's eleven category children (once).
    void addDeviceCategories(_ItemNode* phone);
    // Appends a backup node as the last child of "Local Databases".
    _LocalDbItemNode* addLocalDb(const QDir& dir, const _LocalDbItemNode::Counts& counts = {});
    // Replaces the backup node's children by its seven counted categories.
    void refreshLocalDbChildren(_LocalDbItemNode* node);

    // Which phone nodes phoneNodes lists: those of phones still here, those
    // put aside until the modal work that uses them has ended (leaving), or
    // both.
    enum class Phones { Present, Leaving, All };
    // The phone nodes under "Devices" (connected phones and virtual
    // devices) in tree order, by default less those of phones that have
    // left: the one list the main window and the pages' transfer targets go
    // by.
    QList<_AndroidDeviceItemNode*> phoneNodes(Phones which = Phones::Present) const
    {
        return phoneNodes(m_devicesRoot, which);
    }
    static QList<_AndroidDeviceItemNode*> phoneNodes(const _ItemNode* devicesRoot, Phones which = Phones::Present);
    // The phone node under "Devices" whose device id is deviceId, or null.
    _AndroidDeviceItemNode* findAndroidDevice(const QString& deviceId) const;
    static _AndroidDeviceItemNode* findAndroidDevice(const _ItemNode* devicesRoot, const QString& deviceId);
    // The backup node whose folder name is name, or null.
    _LocalDbItemNode* findLocalDb(const QString& name) const;

private:
    _RootDeviceItemNode* m_devicesRoot;
    _ItemNode* m_localDbRoot;
};
