// Checks the restore services share for the lines the PC sends.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

namespace phonesim {

class RestoreStore;
class Session;

namespace restorelines {

// Records per batch the PC may send.
constexpr int kMaxBatch = 100;

// Keeps the reason, tells the PC with "$error:" and ends the session.
[[noreturn]] void fail(Session& s, RestoreStore& store, const QString& reason);
// The start of a line, for error texts.
QString shown(const QByteArray& line);
// A Base64 field of valid UTF-8 text in its one canonical form; an empty
// field is an empty text.
bool decodeText(const QByteArray& field, QString* out);
// A plain decimal number (a leading "-" allowed).
bool decodeInt(const QByteArray& field, qint64* out);
// Splits "$cmd:a,b,c" after its command into exactly n fields.
bool fieldsOf(const QByteArray& line, const QByteArray& command, int n, QList<QByteArray>* fields);
// The restore dialogue: for every "$batch:" the PC opens, batch() reads it
// up to its "$end:" and answers it; "$bye:" ends the session.
void runBatches(Session& s, RestoreStore& store, const std::function<void()>& batch);

} // namespace restorelines

} // namespace phonesim
