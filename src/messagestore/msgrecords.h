// Message records: plain in-memory mirrors of the rows of the message store
// (chat, handle, message, attachment), linked by pointers after loading, and
// the helpers every producer and consumer of messages shares.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QImage>
#include <QList>
#include <QMetaType>
#include <QSharedPointer>
#include <QString>

#include <atomic>

struct _MsgMessage;

// Times in the records are seconds since 2001-01-01 00:00:00 UTC.
constexpr qint64 kIosEpochOffset = 978307200;

// One correspondent.
struct _MsgHandle {
    qint64 ROWID = 0;
    QString id; // canonical address: "+" calling code national number, or a lower-case e-mail
    QString country; // ISO two-letter code, as stored
    QString service = QStringLiteral("SMS");
    QString uncanonicalized_id;
    QString _ct_name; // contact display name
    QByteArray _photo; // contact photo bytes
};

// One conversation. Does not own the handles and messages it points to.
struct _MsgChat {
    qint64 ROWID = 0;
    QString guid;
    int style = 45;
    int state = 3;
    QString account_id;
    QByteArray properties;
    QString chat_identifier;
    QString service_name = QStringLiteral("SMS");
    QString room_name;
    QString account_login = QStringLiteral("E:");
    int is_archived = 0;
    QString last_addressed_handle;
    QString display_name;
    int _last = 0; // date of the newest message
    QString group_id;

    QHash<QString, _MsgHandle*> handles; // decimal handle rowid -> handle
    QHash<QString, _MsgMessage*> messages; // decimal message rowid -> message
};

struct _MsgAttachment {
    qint64 ROWID = 0;
    QString guid;
    int created_date = 0;
    int start_date = 0;
    QString filename; // as stored: "~/Library/SMS/Attachments/..." or "/var/mobile/..."
    QString uti;
    QString mime_type;
    int transfer_state = 5;
    int is_outgoing = 0;
    QByteArray user_info;
    QString transfer_name;
    qint64 total_bytes = 0;
    // A digest of the file's bytes (see PartContent), with total_bytes its
    // size; empty when the store does not know it.
    QString content_hash;
    // What the store knows of those bytes besides (see PartIdentity): what
    // a transfer sends of them and the picture they are a copy of, each
    // with its size; empty when nothing.
    qint64 sent_bytes = 0;
    QString sent_hash;
    qint64 origin_bytes = 0;
    QString origin_hash;

    // Absolute path of the file on this computer; filled by producers and
    // loaders, never a column. May name a file that does not exist.
    QString localPath;
};

// One message.
struct _MsgMessage {
    qint64 ROWID = 0;
    QString guid;
    QString text;
    int replace = 0;
    QString service_center;
    qint64 handle_id = 0;
    QString subject;
    QString country;
    QByteArray attributedBody;
    int version = 10;
    int type = 0;
    QString service;
    QString account;
    QString account_guid;
    int error = 0;

    int date = 0;
    int date_read = 0;
    int date_delivered = 0;

    int is_delivered = 0;
    int is_finished = 0;
    int is_emote = 0;
    int is_from_me = 0;
    int is_empty = 0;
    int is_delayed = 0;
    int is_auto_reply = 0;
    int is_prepared = 0;
    int is_read = 0;
    int is_system_message = 0;
    int is_sent = 0;
    int has_dd_results = 0;
    int is_service_message = 0;
    int is_forward = 0;
    int was_downgraded = 0;
    int is_archive = 0;
    int cache_has_attachments = 0;

    QString cache_roomnames;
    int was_data_detected = 0;
    int was_deduplicated = 0;

    // Load-time fields, never columns. _src_id is the message's rowid in the
    // store it was loaded from (0 for records built elsewhere). _src_flag
    // marks a message whose source id does not come from a store's rowid
    // sequence; such a message is ordered by date alone.
    qint64 _src_id = 0;
    bool _src_flag = false;

    int is_audio_message = 0;
    int is_played = 0;
    int date_played = 0;
    int item_type = 0; // 0 ordinary, 1 added, 2 renamed, 3 left, 4 location sharing, other: notice
    int other_handle = -1;
    QString group_title;
    int group_action_type = 0;
    int share_status = 0;
    int share_direction = 0;
    int is_expirable = 0;
    int expire_state = 0;
    int message_action_type = 0;

    // Links (not owned).
    _MsgHandle* handle = nullptr; // sender
    _MsgChat* chat = nullptr;
    QHash<QString, _MsgAttachment*> attachments; // decimal attachment rowid -> attachment
    _MsgHandle* otherHandle = nullptr; // the handle that other_handle names
};

// A list of messages; the holder of the list does not own them.
using MsgMessageList = QList<_MsgMessage*>;
Q_DECLARE_METATYPE(MsgMessageList)

// The records of one loaded store. Owns every record it holds; freed with
// the last shared pointer (see newMsgDataSet).
struct MsgDataSet {
    MsgDataSet() = default;
    ~MsgDataSet();
    MsgDataSet(const MsgDataSet&) = delete;
    MsgDataSet& operator=(const MsgDataSet&) = delete;

    QHash<qint64, _MsgChat*> chats;
    QHash<qint64, _MsgHandle*> handles;
    QHash<qint64, _MsgMessage*> messages;
    QHash<qint64, _MsgAttachment*> attachments;
};
using MsgDataSetPtr = QSharedPointer<MsgDataSet>;

// One conversation as the views show it: the chats sharing one
// chat_identifier and the newest _last among them.
struct MsgChatGroup {
    QList<_MsgChat*> chats;
    int last = 0;
};

MsgDataSetPtr newMsgDataSet();
QList<_MsgChat*> getDataSetChats(const MsgDataSet& ds);
MsgMessageList getDataSetMessages(const MsgDataSet& ds);
// The messages of the chats, each once (a message may be joined to several).
MsgMessageList collectChatMessages(const QList<_MsgChat*>& chats);
QList<MsgChatGroup> mergeChatsByIdentifier(const MsgDataSet& ds);

bool isGroupChat(const _MsgChat* chat);
// The message's attachments in ascending ROWID order.
QList<_MsgAttachment*> getAttachments(const _MsgMessage* msg);

// Fills handle and chat as an SMS conversation with one other party is
// stored: the handle id is the (normalised) address, the chat lists it.
void makeSmsChat(const QString& address, const QString& contactName, _MsgHandle* handle, _MsgChat* chat);

QString getHandleLabel(const _MsgHandle* handle, bool withNumbers);
QString getChatTitle(const _MsgChat* chat, bool withNumbers);
QString getMsgChatTitle(const _MsgMessage* msg);
QString getMsgSummary(const _MsgMessage* msg);
// getMsgSummary with every emoji replaced by "[EMOJI]".
QString getMsgPlainText(const _MsgMessage* msg);
QString removeObjReplacementChars(const _MsgMessage* msg);

// The duplicate key of a message: 32 lower-case hex digits.
QString makeLogicHash(const _MsgMessage* msg);
// A new random GUID: 36 upper-case characters, 8-4-4-4-12.
QString newMsgGuid();
// MD5 of the data as an upper-case 8-4-4-4-12 GUID; stable for equal input.
QString makeGuidFromData(const QByteArray& data);
// attributedBody of a message standing for one attachment; guid must be a
// 36-character ASCII GUID.
QByteArray makeAttributedBody(const QString& guid);

// Local date-time of seconds since 2001-01-01 (64-bit arithmetic).
QDateTime dateFromIosTime(qint64 secondsSince2001);
// Seconds since 2001-01-01 of a date-time, clamped to the 32-bit range the
// store keeps.
int iosTimeFromDate(const QDateTime& dt);

// Message order. msgLessThan is a strict weak order: by date, then by
// source id, then by ROWID; msgGreaterThan(a, b) is msgLessThan(b, a).
bool msgLessThan(const _MsgMessage* a, const _MsgMessage* b);
bool msgGreaterThan(const _MsgMessage* a, const _MsgMessage* b);
// Sorts a list oldest first (newestFirst: the reverse) by date, except that
// runs of loaded messages whose source ids and dates lie close together
// (source ids at most 20 apart, dates at most 120 seconds apart, neither
// flagged) keep the order of their source ids; a run is placed at the date
// of its first member. The result is the same whatever the input order.
void sortMessages(MsgMessageList& list, bool newestFirst = false);

// Ascending by ROWID.
template <typename T> bool int64LessThan(const T* a, const T* b)
{
    return a->ROWID < b->ROWID;
}
// Conversation lists, newest first: true when a's date is greater than b's.
bool intGreaterEqual(const MsgChatGroup& a, const MsgChatGroup& b);

// Where the thumbnail of an image attachment is kept, in the private
// temporary folder (named after the part's path); the file may not exist.
// A GIF's or a BMP's is kept in a folder of its own (under the same name),
// a JPEG's or PNG's not: to tell, it reads the first bytes of the part's
// file (its signature, whatever the part's type or name says), and
// decodes nothing.
QString attachmentThumbnailPath(const _MsgAttachment* att);
// Makes that thumbnail (longer side 120 pixels) through the picture reader
// unless it was made before, and returns it; null when there is none (no
// picture, beyond the reader's bounds, not written) or when *stop was set
// (by another thread: the decode then ends soon). Decodes: never called on
// the window's thread. The file is written whole or not at all. A GIF's or
// a BMP's thumbnail kept under the name of earlier versions is removed.
QImage makeAttachmentThumbnail(const _MsgAttachment* att, const std::atomic_bool* stop = nullptr);
// What that thumbnail is of a part's picture as the reader read it (format:
// as the reader named it): the picture scaled, and the bytes of its file
// (PNG for a PNG, else JPEG; empty when it cannot be encoded).
QImage scaledAttachmentThumbnail(const QImage& picture);
QByteArray attachmentThumbnailBytes(const QImage& scaled, const QByteArray& format);
