// Contacts as a PDF of contact cards, the same cards the printing draws,
// written through a PdfOutputFile: an earlier file stays until the new one
// is complete. Each card's photo is read as write() comes to it, the
// job's cancel heard meanwhile (checkCanceled, see
// pictures::madeHearing).
#pragma once

#include "formats/contactcardpainter.h"
#include "formats/pdfoutputfile.h"
#include "records/absformatexport.h"

#include <QPrinter>
#include <QString>

#include <functional>

class PdfExport : public AbsFormatExport<const pim::_Contact> {
public:
    explicit PdfExport(const QString& fileName, std::function<void()> checkCanceled = {});
    ~PdfExport() override;

    // Sets the printer up as an A4 PDF writer and starts the cards; throws
    // "create file error. %1" when the file cannot be written.
    void begin() override;
    void write(const pim::_Contact& contact) override;
    // Completes the file; throws "write file error. %1" when that fails.
    void end() override;

private:
    // Declared before the printer and painter: the painter ends (writing
    // the rendering out) before the rendering is removed.
    PdfOutputFile m_out;
    QPrinter m_printer;
    ContactCardPainter m_painter;
    std::function<void()> m_checkCanceled;
};
