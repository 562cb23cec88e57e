// The conversation list of the messages page: one flat row per conversation
// (the chats that share one chat identifier), newest first. The rows point
// to chats of the page's data set; the model owns none of them.
#pragma once

#include "messagestore/msgrecords.h"
#include "shell/abstreeitemmodel.h"

#include <QList>
#include <QPixmap>

class ItemModelSMSHandle : public AbsTreeItemModel {
    Q_OBJECT

public:
    // The node kind of a conversation row.
    static constexpr int kConversationNode = 1;

    class _HandleItemNode : public AbsTreeItemModel::_ItemNode {
    public:
        // Text: the title of the group's first chat without numbers (empty
        // for a group without chats).
        explicit _HandleItemNode(const MsgChatGroup& group);

        QList<_MsgChat*> chats; // not owned
        int last = 0; // date of the newest message, seconds since 2001
    };

    explicit ItemModelSMSHandle(QObject* parent = nullptr);

    // Replaces every row by one per group, the latest conversation first;
    // conversations of the same date by their first chat's rowid.
    void setHandles(QList<MsgChatGroup> groups);

    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QPixmap icon(bool group) const;

    mutable QPixmap m_groupIcon;
    mutable QPixmap m_personIcon;
};
