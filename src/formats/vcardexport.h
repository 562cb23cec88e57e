// Contacts as one vCard 3.0 file, one card per contact. The vCard importer
// reads these files back; the component orders are shared with it.
#pragma once

#include "formats/exportfile.h"
#include "formats/vcard.h"
#include "records/absformatexport.h"
#include "records/contact.h"

class VCardExport : public AbsFormatExport<const pim::_Contact> {
public:
    explicit VCardExport(const QString& path);
    ~VCardExport() override;

    void begin() override;
    void write(const pim::_Contact& contact) override;
    void end() override;

    // The card written for a contact.
    static VCardCard cardFor(const pim::_Contact& contact);

private:
    ExportFile m_file; // takes the target's place in end(), not before
};
