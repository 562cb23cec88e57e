// Message records for the message rendering and export tests: owns what it
// builds and links it the way the store's loader does.
#pragma once

#include "formats/messageexportthread.h"
#include "messagestore/msgrecords.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QtTest>

#include <memory>
#include <tuple>
#include <vector>

struct MessageSet {
    std::vector<std::unique_ptr<_MsgChat>> chats;
    std::vector<std::unique_ptr<_MsgHandle>> handles;
    std::vector<std::unique_ptr<_MsgMessage>> messages;
    std::vector<std::unique_ptr<_MsgAttachment>> attachments;

    template <class T> T* add(std::vector<std::unique_ptr<T>>& v)
    {
        v.push_back(std::make_unique<T>());
        v.back()->ROWID = qint64(v.size());
        return v.back().get();
    }

    _MsgHandle* handle(const QString& id, const QString& name = QString())
    {
        auto* h = add(handles);
        std::tie(h->id, h->_ct_name) = std::tie(id, name);
        return h;
    }

    _MsgChat* chat(const QString& ident, const QList<_MsgHandle*>& members, int last)
    {
        auto* c = add(chats);
        std::tie(c->guid, c->chat_identifier, c->_last) = std::tuple(QStringLiteral("SMS;-;") + ident, ident, last);
        for (auto* h : members)
            c->handles.insert(QString::number(h->ROWID), h);
        return c;
    }

    _MsgMessage* message(_MsgChat* chat, _MsgHandle* from, bool fromMe, const QString& text, int date)
    {
        auto* m = add(messages);
        std::tie(m->chat, m->handle, m->is_from_me, m->text, m->date, m->guid)
            = std::tuple(chat, from, fromMe ? 1 : 0, text, date, newMsgGuid());
        if (chat)
            chat->messages.insert(QString::number(m->ROWID), m);
        return m;
    }

    _MsgAttachment* attach(_MsgMessage* m, const QString& mime, const QString& localPath)
    {
        auto* a = add(attachments);
        std::tie(a->guid, a->mime_type, a->localPath) = std::tuple(newMsgGuid(), mime, localPath);
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

inline QString writePicture(const QString& path, const QColor& color)
{
    QImage img(320, 240, QImage::Format_RGB32);
    img.fill(color);
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

inline QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Runs the export job to its end on its own thread; returns the files it wrote.
inline QStringList runJob(const MsgMessageList& list, const QString& target, int format,
                          testsupport::RecordingJobReport* report)
{
    ExportMessagesThread job(list, target, format, report);
    job.start();
    if (!job.wait(120000))
        qFatal("message export job hangs");
    return job.writtenFiles();
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
    s.attach(pic, QStringLiteral("image/jpeg"),
             writePicture(fileDir + QStringLiteral("/IMG_0001.jpg"), QColor(80, 140, 200)));
    s.attach(pic, QStringLiteral("text/x-vCard"),
             writeFile(fileDir + QStringLiteral("/card.vcf"),
                       "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Dana Card\r\nTEL;TYPE=CELL:+1 555 0100\r\nEND:VCARD\r\n"));
    s.attach(pic, QStringLiteral("text/plain"), writeFile(fileDir + QStringLiteral("/note.txt"), "plain <note> text"));
    s.attach(pic, QStringLiteral("video/mp4"), fileDir + QStringLiteral("/missing.mp4"));

    s.message(g, bob, false, QStringLiteral("Group hello"), base + 4000);
    s.message(g, anon, false, QStringLiteral("from a number"), base + 4030);
    s.message(g, bob, false, QString(), base + 4100)->item_type = 3;
    s.message(g, nullptr, true, QStringLiteral("my reply"), base + 5000);

    s.message(c, carol, false, QStringLiteral("<script>alert(1)</script> 100% %1 %2"), base + 9000);
}
