#include "formats/mmsprinter.h"

#include "formats/messagepagepainter.h"
#include "formats/messagepartpictures.h"
#include "shell/progressform.h"
#include "shell/runjob.h"
#include "shell/uiprompt.h"

#include <QPageLayout>
#include <QPrintPreviewDialog>
#include <QPrinter>

MMSPrinter::MMSPrinter(QObject* parent)
    : QObject(parent)
{
}

void MMSPrinter::print(const MsgMessageList& messages)
{
    m_messages = messages;
    sortMessages(m_messages);
    if (!makePartPictures())
        return;

    QPrinter printer(QPrinter::ScreenResolution);
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setOutputFormat(QPrinter::NativeFormat);
    if (!printer.isValid())
        printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Point);

    QPrintPreviewDialog dialog(&printer);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setModal(true);
    dialog.setWindowTitle(tr("IDS_PRINT_MMS"));
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this, &MMSPrinter::onPaintRequested);
    uiprompt::exec(&dialog);
}

void MMSPrinter::onPaintRequested(QPrinter* printer)
{
    MessagePagePainter pages;
    if (!pages.begin(printer))
        return;
    for (const _MsgMessage* msg : std::as_const(m_messages))
        pages.paintMessage(msg);
    pages.end();
}

bool MMSPrinter::makePartPictures()
{
    const QList<const _MsgAttachment*> parts = partpictures::missing(m_messages);
    if (parts.isEmpty())
        return true;
    ProgressForm progress(tr("IDS_PRINT_MMS"), qobject_cast<QWidget*>(parent()));
    return runTask(progress,
                   [&parts, &progress] {
                       partpictures::makeAll(
                           parts, [&progress] { jobreport::checkCanceled(&progress); },
                           [&progress](int done, int total) {
                               progress.postUpdateProgress(QString(), jobreport::percent(done, total), QString());
                           });
                   })
        == JobResult::Succeeded;
}
