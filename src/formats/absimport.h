// A reader of contacts from a file: the vCard and CSV importers.
#pragma once

#include "records/contact.h"

#include <QString>

class AbsImport {
public:
    virtual ~AbsImport() = default;

    // Reads the whole file; throws std::runtime_error (UTF-8 text) when it
    // cannot be read.
    virtual void open(const QString& path) = 0;
    // The number of entries read.
    virtual int count() const = 0;
    virtual bool hasNext() const = 0;
    // The next entry as a contact; only while hasNext().
    virtual pim::_Contact next() = 0;
    virtual void close() {}
    // Lines of the file that could not be read and were left out.
    virtual int skippedLines() const { return 0; }
};

namespace contactimport {

// Files larger than this are refused rather than read into memory whole.
inline constexpr qint64 kMaxFileBytes = 512LL * 1024 * 1024;

// Reads the whole file or throws std::runtime_error with the file's error
// text (or "file too large." past kMaxFileBytes).
QByteArray readWholeFile(const QString& path);

// Every reader names a contact read without a name after its organisation,
// else its first e-mail address, else its first number, else its nickname,
// else its first chat address; one with none of them stays nameless, and
// the import job leaves it out and counts it.
void nameUnnamed(pim::_Contact& contact);

} // namespace contactimport
