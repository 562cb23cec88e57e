// One conversation as a PDF of chat bubbles, drawn by the same page painter
// as the message printing, written through a PdfOutputFile: an earlier file
// of the name stays until the new one is complete.
#pragma once

#include "formats/messagepagepainter.h"
#include "formats/pdfoutputfile.h"
#include "messagestore/msgrecords.h"
#include "records/absformatexport.h"

#include <QPrinter>
#include <QString>

class ExportMessagesPdf : public AbsFormatExport<_MsgMessage> {
public:
    explicit ExportMessagesPdf(const QString& path);
    // The painter ends (completing the rendering) before the printer and
    // the rendering go; without end() the target stays as it was.
    ~ExportMessagesPdf() override;

    // Sets up an A4 PDF printer (screen resolution, 20-point margins) and
    // starts the page painter; throws "create file error. %1" when the file
    // cannot be created or the painter could not start.
    void begin() override;
    void write(const _MsgMessage& msg) override;
    // Completes the file; throws "write file error. %1" when that fails.
    void end() override;

    int pageCount() const { return m_pages.page; }

private:
    // Declared before the printer and painter, which go first.
    PdfOutputFile m_out;
    QPrinter m_printer;
    MessagePagePainter m_pages;
};
