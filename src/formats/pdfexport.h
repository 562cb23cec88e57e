// Contacts as a PDF of contact cards, the same cards the printing draws.
// The PDF writer writes to a file name of its own: it renders to a hidden
// temporary file beside the target, which end() copies into the target's
// place through an ExportFile, so an earlier file stays until the new one is
// complete.
#pragma once

#include "formats/contactcardpainter.h"
#include "formats/exportfile.h"
#include "records/absformatexport.h"

#include <QPrinter>
#include <QString>
#include <QTemporaryFile>

class PdfExport : public AbsFormatExport<const pim::_Contact> {
public:
    explicit PdfExport(const QString& fileName);
    ~PdfExport() override;

    // Sets the printer up as an A4 PDF writer and starts the cards; throws
    // "create file error. %1" when the file cannot be written.
    void begin() override;
    void write(const pim::_Contact& contact) override;
    // Completes the file; throws "write file error. %1" when that fails.
    void end() override;

private:
    QString m_fileName;
    // Declared before the printer and painter: the painter ends (writing
    // the rendering out) before the temporary file is removed.
    ExportFile m_out;
    QTemporaryFile m_rendering;
    QPrinter m_printer;
    ContactCardPainter m_painter;
};
