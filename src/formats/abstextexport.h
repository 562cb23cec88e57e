// Column-table exports of contacts: a header naming every column that some
// contact of the list needs, then one row per contact. The column keys
// ("First Name", "Tel:Mobile", "Addr:Home:Street" ...) are read back by the
// CSV importer, so they are part of the file format.
#pragma once

#include "formats/exportfile.h"
#include "records/absformatexport.h"
#include "records/contact.h"

#include <QList>
#include <QMap>
#include <QPair>
#include <QStringList>

class AbsTextExport : public AbsFormatExport<const pim::_Contact> {
public:
    // contacts: the whole list to export (not owned); begin() collects the
    // columns from it, write() must be given contacts of it.
    AbsTextExport(const QString& fileName, const QList<pim::_Contact>* contacts);
    ~AbsTextExport() override;

    void begin() override;
    void write(const pim::_Contact& contact) override;
    void end() override;

    // Sort rank of a column key (a numbered key ranks as its first column);
    // equal ranks sort by key text, numbered keys after their first column.
    static int columnRank(const QString& key);
    // The (key, value) cells of a contact, rows in type and list order. The
    // second and later rows of one kind and label get numbered keys
    // ("Tel:Mobile 2", "Addr:Home 2:Street", "Company 2"), so that no value
    // of a contact shares a column with another.
    static QList<QPair<QString, QString>> cells(const pim::_Contact& contact);
    // The key of the first column and the row number of a numbered key
    // ("Tel:Mobile 2" gives "Tel:Mobile" and 2); a key without number gives
    // itself and 1.
    static QString columnBase(const QString& key, int* number);

protected:
    // The encoded header line for the ordered column keys.
    virtual QByteArray writeHeader(const QStringList& keys) = 0;
    // The encoded row for count values in column order.
    virtual QByteArray writeRow(const QString* values, int count) = 0;

private:
    void writeBytes(const QByteArray& bytes);

    ExportFile m_file; // takes the target's place in end(), not before
    const QList<pim::_Contact>* m_contacts;
    QMap<QString, int> m_columnIndex;
};

// Comma-separated values, UTF-8 without byte order mark, lines ending in LF.
class CSVExport : public AbsTextExport {
public:
    CSVExport(const QString& fileName, const QList<pim::_Contact>* contacts);

protected:
    QByteArray writeHeader(const QStringList& keys) override;
    QByteArray writeRow(const QString* values, int count) override;
};

// Fixed-width columns padded with blanks, for reading in a text editor.
class TxtExport : public AbsTextExport {
public:
    TxtExport(const QString& fileName, const QList<pim::_Contact>* contacts);

    static int columnWidth(const QString& key);

protected:
    QByteArray writeHeader(const QStringList& keys) override;
    QByteArray writeRow(const QString* values, int count) override;

private:
    QList<int> m_widths;
};
