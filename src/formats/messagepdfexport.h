// One conversation as a PDF of chat bubbles, drawn by the same page painter
// as the message printing.
#pragma once

#include "formats/messagepagepainter.h"
#include "messagestore/msgrecords.h"
#include "records/absformatexport.h"

#include <QPrinter>
#include <QString>

class ExportMessagesPdf : public AbsFormatExport<_MsgMessage> {
public:
    // Sets up an A4 PDF printer on the path (screen resolution, 20-point
    // margins) and starts the page painter, which creates the file.
    explicit ExportMessagesPdf(const QString& path);
    // The painter ends (completing the file) before the printer goes.
    ~ExportMessagesPdf() override;

    // Throws "create file error. %1" when the painter could not start.
    void begin() override;
    void write(const _MsgMessage& msg) override;
    // Completes the file; throws "write file error. %1" when that fails.
    void end() override;

    int pageCount() const { return m_pages.page; }

private:
    QString m_path;
    QPrinter m_printer;
    MessagePagePainter m_pages;
    bool m_started = false;
    QString m_openError;
};
