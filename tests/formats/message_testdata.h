// Message records for the message rendering and export tests: owns what it
// builds and links it the way the store's loader does.
#pragma once

#include "messagestore/msgrecords.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>

#include <memory>
#include <vector>

struct MessageSet {
    std::vector<std::unique_ptr<_MsgChat>> chats;
    std::vector<std::unique_ptr<_MsgHandle>> handles;
    std::vector<std::unique_ptr<_MsgMessage>> messages;
    std::vector<std::unique_ptr<_MsgAttachment>> attachments;
    qint64 nextRowid = 1;

    _MsgHandle* handle(const QString& id, const QString& name = QString())
    {
        handles.push_back(std::make_unique<_MsgHandle>());
        auto* h = handles.back().get();
        h->ROWID = qint64(handles.size());
        h->id = id;
        h->_ct_name = name;
        return h;
    }

    _MsgChat* chat(const QString& ident, const QList<_MsgHandle*>& members, int last)
    {
        chats.push_back(std::make_unique<_MsgChat>());
        auto* c = chats.back().get();
        c->ROWID = qint64(chats.size());
        c->guid = QStringLiteral("SMS;-;") + ident;
        c->chat_identifier = ident;
        c->_last = last;
        for (auto* h : members)
            c->handles.insert(QString::number(h->ROWID), h);
        return c;
    }

    _MsgMessage* message(_MsgChat* chat, _MsgHandle* from, bool fromMe, const QString& text, int date)
    {
        messages.push_back(std::make_unique<_MsgMessage>());
        auto* m = messages.back().get();
        m->ROWID = nextRowid++;
        m->chat = chat;
        m->handle = from;
        m->is_from_me = fromMe ? 1 : 0;
        m->text = text;
        m->date = date;
        m->guid = newMsgGuid();
        if (chat)
            chat->messages.insert(QString::number(m->ROWID), m);
        return m;
    }

    _MsgAttachment* attach(_MsgMessage* m, const QString& mime, const QString& localPath)
    {
        attachments.push_back(std::make_unique<_MsgAttachment>());
        auto* a = attachments.back().get();
        a->ROWID = qint64(attachments.size());
        a->guid = newMsgGuid();
        a->mime_type = mime;
        a->localPath = localPath;
        a->filename = QStringLiteral("~/Library/SMS/Attachments/") + localPath.section(QLatin1Char('/'), -1);
        m->attachments.insert(QString::number(a->ROWID), a);
        return a;
    }

    MsgMessageList list() const
    {
        MsgMessageList out;
        for (const auto& m : messages)
            out.append(m.get());
        return out;
    }
};

// A small picture file (JPEG) of the given colour.
inline QString writePicture(const QString& path, const QColor& color, int w = 320, int h = 240)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(color);
    QPainter p(&img);
    p.setBrush(color.darker(160));
    p.drawEllipse(QRect(w / 4, h / 4, w / 2, h / 2));
    p.end();
    img.save(path, "JPEG");
    return path;
}

inline QString writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
    return path;
}

// Three conversations: a one-to-one chat with a named contact (text with
// CSV-hostile characters, emoji, a picture, a vCard, a text file and a
// missing video), a group chat (named and unnamed members, a notice) and a
// one-to-one chat with an unnamed number (markup and "%1" in the text).
// Dates are seconds since 2001; base is 2020-01-07 00:00:00 UTC.
inline void buildThreeConversations(MessageSet& s, const QString& fileDir)
{
    const int base = 600048000;
    auto* alice = s.handle(QStringLiteral("+15550001"), QStringLiteral("Alice Smith"));
    auto* bob = s.handle(QStringLiteral("+15550002"), QStringLiteral("Bob"));
    auto* anon = s.handle(QStringLiteral("+15550003"));
    auto* carol = s.handle(QStringLiteral("+15550004"));

    auto* a = s.chat(QStringLiteral("+15550001"), {alice}, base + 200);
    auto* g = s.chat(QStringLiteral("chat123456"), {bob, anon}, base + 5000);
    auto* c = s.chat(QStringLiteral("+15550004"), {carol}, base + 9000);

    s.message(a, alice, false, QStringLiteral("Hello, \"world\"\nsecond line"), base + 10);
    s.message(a, nullptr, true, QStringLiteral("Fine & you? \u2714 \U0001F604"), base + 40);
    auto* pic = s.message(a, alice, false, QString(), base + 200);
    s.attach(pic, QStringLiteral("image/jpeg"), writePicture(fileDir + QStringLiteral("/IMG_0001.jpg"), QColor(80, 140, 200)));
    s.attach(pic, QStringLiteral("text/x-vCard"),
             writeFile(fileDir + QStringLiteral("/card.vcf"),
                       "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Dana Card\r\nTEL;TYPE=CELL:+1 555 0100\r\n"
                       "EMAIL:dana@example.org\r\nEND:VCARD\r\n"));
    s.attach(pic, QStringLiteral("text/plain"), writeFile(fileDir + QStringLiteral("/note.txt"), "plain <note> text"));
    s.attach(pic, QStringLiteral("video/mp4"), fileDir + QStringLiteral("/missing.mp4"));

    s.message(g, bob, false, QStringLiteral("Group hello"), base + 4000);
    s.message(g, anon, false, QStringLiteral("from a number"), base + 4030);
    auto* notice = s.message(g, bob, false, QString(), base + 4100);
    notice->item_type = 3;
    s.message(g, nullptr, true, QStringLiteral("my reply"), base + 5000);

    s.message(c, carol, false, QStringLiteral("<script>alert(1)</script> 100% %1 %2"), base + 9000);
}
