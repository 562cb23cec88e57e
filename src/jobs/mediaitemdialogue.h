// The phone's side of one media file in a media restore session ("images",
// "videos", "music", "ringtones"), shared by the media uploads and the
// phone-to-phone transfers: the offer (the item command with its fields),
// the phone's answer, the file's data when it wants it, then the item
// command back from the phone.
//
// Every wait is without a time limit but sees the calling thread's cancel
// scope (simpleprotocol::CancelScope).
#pragma once

#include <QString>

class QTcpSocket;

namespace mediadialogue {

// Sends the offer (flushed) and reads the phone's answer: true when it is
// the number 1 (the phone wants the file), false for anything else.
bool offer(QTcpSocket* phone, const QString& command, const QString& argument);
// After the last block: the line "." and the phone's "$file:".
void endFile(QTcpSocket* phone);
// The phone's closing line of the item: a line beginning with the item
// command (the rest is not read).
void endItem(QTcpSocket* phone, const QString& command);

// The last component of a phone path (the whole text without a "/").
QString fileNameOf(const QString& phonePath);

} // namespace mediadialogue
