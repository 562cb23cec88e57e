// The message list of the messages page: a flat table of four columns
// (Date, Flag, Contact, Content) over a list of messages that the page's
// data set owns. Column 0 indexes carry their message as internal pointer.
#pragma once

#include "messagestore/msgrecords.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QLocale>
#include <QPixmap>

class ItemModelSms : public QAbstractItemModel {
    Q_OBJECT

public:
    // Content cells show at most this many characters (a message may hold
    // megabytes of text; the cell and its tool tip need a line).
    static constexpr int kMaxCellText = 1000;

    explicit ItemModelSms(QObject* parent = nullptr);

    // Replaces the list (in the given order) inside a model reset.
    void setMessages(const MsgMessageList& messages);
    void clear();
    const MsgMessageList& messages() const { return m_messages; }

    // The message a column 0 index carries; null for any other index.
    static _MsgMessage* messageOf(const QModelIndex& index);

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QString cellText(const _MsgMessage* m, int column) const;
    QString contentText(const _MsgMessage* m) const;
    QPixmap icon(const QString& path) const;

    MsgMessageList m_messages;
    QLocale m_locale;
    mutable QHash<const _MsgMessage*, QString> m_content; // Content cells made so far
    mutable QHash<QString, QPixmap> m_icons;
};
