// Per row type: which columns make two contact rows the same row, which
// columns an edit is compared on, and which columns a merge copies.
#pragma once

#include <QStringList>

class AbsContactCombineRule {
public:
    virtual ~AbsContactCombineRule() = default;
    // Columns that give a row its content; a row empty on all of them is empty.
    virtual QStringList keyColumns(int type) const = 0;
    // Columns on which a new row is recognised as a stored one.
    virtual QStringList matchColumns(int type) const = 0;
    // Columns on which an edited row differs from its stored row.
    virtual QStringList compareColumns(int type) const = 0;
    // Columns a merge copies into the stored row. *singleRow (always written)
    // is true for the types whose merge works on the contact's first stored
    // row instead of a matching one.
    virtual QStringList mergeColumns(int type, bool* singleRow) const = 0;
};

// The rule of the local contacts databases.
class LocalDbCombineRule : public AbsContactCombineRule {
public:
    QStringList keyColumns(int type) const override;
    QStringList matchColumns(int type) const override;
    QStringList compareColumns(int type) const override;
    QStringList mergeColumns(int type, bool* singleRow) const override;
};
