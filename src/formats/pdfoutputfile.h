// The output of an export that a QPrinter draws as a PDF. The PDF writer
// writes to a file name of its own and does not report failed writes: it
// renders into a hidden temporary file beside the target, which commit()
// checks and copies into the target's place through an ExportFile. So an
// earlier file of the target's name stays until the new one is complete, and
// a failed or cancelled export (the PdfOutputFile going without commit())
// leaves it as it was and nothing beside it.
#pragma once

#include "formats/exportfile.h"

#include <QString>
#include <QTemporaryFile>

class QPrinter;

class PdfOutputFile {
public:
    explicit PdfOutputFile(const QString& path);

    // Creates the output and the rendering, and sets the printer up as a PDF
    // writer into the rendering; throws "create file error. %1" when either
    // cannot be created. Begin painting on the printer after this.
    void open(QPrinter& printer);
    // After the painting ended: puts the rendering in the target's place;
    // throws "write file error. %1" when it is incomplete or cannot be
    // written there.
    void commit();

private:
    ExportFile m_out;
    QTemporaryFile m_rendering;
};
