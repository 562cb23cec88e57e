// Messages as one text file: comma-separated values with a header line
// (ExportMessagesCsv) or a fixed-width table (ExportMessagesTxt). UTF-8
// without byte order mark; every line ends in CR LF, line breaks inside a
// CSV field included, so the file is the same on every platform.
#pragma once

#include "formats/exportfile.h"
#include "messagestore/msgrecords.h"
#include "records/absformatexport.h"

#include <QString>

class ExportMessagesText : public AbsFormatExport<_MsgMessage> {
public:
    ~ExportMessagesText() override;

    // Opens the file (beside the target, see ExportFile) and writes the
    // header line; throws "create file error. %1" with the file's error text.
    void begin() override;
    // Completes the file and puts it in the target's place; throws "write
    // file error. %1" when anything written since begin() did not reach the
    // file. Without end() the target keeps what it held.
    void end() override;

protected:
    explicit ExportMessagesText(const QString& path);
    virtual QString headerLine() const = 0;
    // Appends one line (without its line end); LF inside it becomes CR LF.
    void writeLine(const QString& line);

private:
    ExportFile m_file; // takes the target's place in end(), not before
};

class ExportMessagesCsv : public ExportMessagesText {
public:
    explicit ExportMessagesCsv(const QString& path);
    // date, send, person, number, content; the last three quoted when
    // needed, and with a leading apostrophe when a spreadsheet would take
    // them for a formula (a phone number such as "+49 30 1234" excepted).
    void write(const _MsgMessage& msg) override;

protected:
    QString headerLine() const override;
};

class ExportMessagesTxt : public ExportMessagesText {
public:
    explicit ExportMessagesTxt(const QString& path);
    // Date (30), Flag (6), Name (40), Message; a longer value pushes the
    // columns after it to the right instead of being cut.
    void write(const _MsgMessage& msg) override;

protected:
    QString headerLine() const override;
};
