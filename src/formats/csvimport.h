// Contacts from a CSV file whose first row names the columns: the program's
// own headers (as its CSV export writes them) and those of the common
// address-book exports (Outlook, Google Contacts).
#pragma once

#include "formats/absimport.h"

#include <QList>
#include <QStringList>

// What a column header means.
struct CSVColumnDef {
    int type = 0; // contact data-row type; 0 for a header we do not know
    int subType = 0; // label code of the row, 0 when none
    QString labelColumn; // the column that receives subType ("data2", "data5"), or empty
    QString valueColumn; // the column that receives the cell text
    // Which row of its type and label code the column fills: 1 for the
    // first, n for a numbered column of our own export ("Tel:Mobile 2") or a
    // second number of another make ("Home Phone 2").
    int instance = 1;
    // A chat service without a code of its own ("IM:Signal"): its name,
    // which the row keeps in data6.
    QString service;
};

class CSVImport : public AbsImport {
public:
    // Reads header and rows. The text is UTF-8 (with or without a byte order
    // mark); UTF-16 with a byte order mark and 8-bit files that are not valid
    // UTF-8 (read as Windows-1252) are converted first.
    void open(const QString& path) override { load(path); }
    void load(const QString& path);
    int count() const override { return int(m_rows.size()); }
    bool hasNext() const override { return m_cursor < m_rows.size(); }
    pim::_Contact next() override;

    // The meaning of a header; a header not in the table gives type 0.
    static CSVColumnDef columnDef(const QString& header);
    // The file's bytes as UTF-8 text, whatever encoding they came in.
    static QByteArray toUtf8Text(const QByteArray& bytes);

    const QStringList& header() const { return m_header; }

private:
    // What a column of the file fills, worked out once from its header.
    struct Column {
        CSVColumnDef def; // our own or another make's column (type 0: none)
        // A Google numbered group's column: its row type (0 for any other
        // column), the group's number and the data column (0: the kind's word).
        int googleType = 0;
        int googleNumber = 0;
        int googleDataColumn = 0;
        bool displayName = false; // Google's "Name"
        bool googleLabels = false; // Google's "Labels": its groups
        // Outlook's "Birthday" and "Anniversary": dates in the PC's order of
        // day and month, separated by "/", "." or "-", and zeros ("0/0/00")
        // for none.
        bool outlookDate = false;
    };

    // Whether the file's Outlook dates are written day first: as its dates
    // tell, else as this PC writes short dates.
    bool datesDayFirst() const;

    QStringList m_header;
    QList<Column> m_columns; // one per header cell
    QList<QStringList> m_rows;
    qsizetype m_cursor = 0;
    bool m_datesDayFirst = false;
};
