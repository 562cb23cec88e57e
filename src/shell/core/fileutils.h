// File and text helpers shared across the application: CSV fields and rows,
// unique and safe file names, MD5 text digests, folder removal, and handing
// folders and links to the desktop.
#pragma once

#include <QString>
#include <QStringList>

class QIODevice;

// The text as one CSV field: enclosed in double quotes, inner quotes
// doubled, when it holds a line feed, a carriage return, a double quote or a
// comma; otherwise unchanged.
QString csvQuote(const QString& text);

// Reads the next CSV row of a UTF-8 byte stream and appends its fields to
// row. With atStart set, a UTF-8 byte order mark at the current position is
// skipped (peeked at, so the bytes of a row shorter than it stay); a mark
// anywhere else is data. Returns true when the row ended with a line feed, false at the end
// of the data (the last, unterminated row is appended all the same). A read
// error throws std::runtime_error with the device's error text; the fields
// read so far stay in row.
bool readCsvRow(QStringList* row, QIODevice* device, bool atStart);

// The path itself when nothing exists there, else the first free variant
// "name(n).suffix" in the same folder (n = 1, 2, ...; name is the part before
// the first dot, suffix the part after the last dot), name shortened so that
// the variant still fits (fileNameWithTag).
QString uniqueFilePath(const QString& path);

// The longest file name the file systems we write to take: 255 bytes of its
// UTF-8 form (and so at most 255 UTF-16 units, the limit of others).
inline constexpr qsizetype kMaxFileNameBytes = 255;
// The name with tag put in before its suffix (the text from its last dot,
// when that is short enough to be a type's), its stem shortened from the end
// by whole characters where the result would exceed maxBytes, so that the
// suffix and the tag stay. An empty tag only fits the name.
QString fileNameWithTag(const QString& name, const QString& tag, qsizetype maxBytes = kMaxFileNameBytes);
inline QString fitFileName(const QString& name, qsizetype maxBytes = kMaxFileNameBytes)
{
    return fileNameWithTag(name, QString(), maxBytes);
}

// A name usable as a file name on every platform: reserved device names
// (CON, PRN, AUX, CLOCK$, NUL, COM1-COM9, LPT1) are wrapped in "$$", the
// characters \ / : * ? " < > | and line feed, carriage return and tab are
// removed and white space trimmed. May return an empty text, and returns an
// empty text for a name made only of dots: callers apply their own fallback.
QString sanitizeFileName(const QString& name);
// Turns a name that came from a phone into one path component that stays in
// its folder: separators and characters Windows forbids are replaced, "",
// "." and ".." give an empty result.
QString phoneNameToPathComponent(const QString& name);

// The MD5 of the text's UTF-8 bytes as 32 lower-case hexadecimal digits.
QString md5Hex(const QString& text);

// Deletes the folder with everything in it, hidden entries included. A
// symbolic link inside is removed itself; what it points to is not touched.
// Failures are not reported: callers that care check whether the folder is
// still there.
void removeDir(const QString& path);

// Joins a relative path (from a phone or a file) to a base folder. Returns
// the cleaned absolute path, or an empty text when the relative path is
// empty, absolute, or would lead outside the base (".." and the like).
QString pathUnder(const QString& base, const QString& relative);
// The outermost folder of path that does not exist yet (what mkpath would
// create), or an empty text when path exists already. Lets a job remove on
// failure only the folders it created itself.
QString firstMissingFolder(const QString& path);

// Shows the folder (or opens the file) in the desktop's file manager.
void openInExplorer(const QString& path);
// Opens a URL or a file path with the desktop's default handler.
void shellOpen(const QString& target);
