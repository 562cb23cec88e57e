// Contacts from a vCard file (2.1, 3.0 or 4.0): every card becomes one
// contact with typed data rows.
#pragma once

#include "formats/absimport.h"
#include "formats/vcard.h"

class VCardImport : public AbsImport {
public:
    void open(const QString& path) override;
    int count() const override { return int(m_cards.size()); }
    bool hasNext() const override { return m_cursor < m_cards.size(); }
    pim::_Contact next() override;
    int skippedLines() const override { return m_skippedLines; }

    // The contact a card describes (id 0, no source id).
    static pim::_Contact contactFromCard(const VCardCard& card);

private:
    qsizetype m_cursor = 0;
    QList<VCardCard> m_cards;
    int m_skippedLines = 0;
};
