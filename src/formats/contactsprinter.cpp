#include "formats/contactsprinter.h"

#include "formats/contactcardpainter.h"
#include "formats/contactphoto.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "shell/core/everycore.h"
#include "shell/progressform.h"
#include "shell/runjob.h"
#include "shell/uiprompt.h"

#include <QFont>
#include <QPageLayout>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>

ContactsPrinter::ContactsPrinter(QObject* parent)
    : QObject(parent)
{
}

void ContactsPrinter::print(const QList<pim::_Contact>& contacts)
{
    m_contacts = contacts;
    if (!readPhotos())
        return;
    QPrinter printer(QPrinter::ScreenResolution);
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setOutputFormat(QPrinter::NativeFormat);
    if (!printer.isValid())
        printer.setOutputFormat(QPrinter::PdfFormat); // no printer installed
    printer.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Point);

    QPrintPreviewDialog dialog(&printer);
    dialog.setFixedSize(900, 700);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setModal(true);
    dialog.setWindowTitle(tr("IDS_PRINT_CONTACTS"));
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this, &ContactsPrinter::onPaintRequested);
    uiprompt::exec(&dialog);
}

bool ContactsPrinter::readPhotos()
{
    m_photos = QList<QImage>(m_contacts.size());
    QList<int> withPhoto;
    for (int i = 0; i < m_contacts.size(); ++i)
        if (!contactphoto::bytes(m_contacts.at(i)).isEmpty())
            withPhoto << i;
    if (withPhoto.isEmpty())
        return true;
    QImage* photos = m_photos.data(); // each item writes its own
    ProgressForm progress(tr("IDS_PRINT_CONTACTS"), qobject_cast<QWidget*>(parent()));
    const JobResult result = runTask(progress, [&] {
        everycore::run(
            int(withPhoto.size()),
            [&](int i, const std::atomic_bool& stop) {
                const int at = withPhoto.at(i);
                photos[at] = ContactCardPainter::photoOf(m_contacts.at(at), &stop);
            },
            [] { simpleprotocol::checkCanceled(); },
            [&progress](int done, int total) {
                progress.postUpdateProgress(QString(), jobreport::percent(done, total), QString());
            });
    });
    return result == JobResult::Succeeded;
}

void ContactsPrinter::onPaintRequested(QPrinter* printer)
{
    ContactCardPainter cards;
    cards.begin(printer);
    for (int i = 0; i < m_contacts.size(); ++i)
        cards.paintContact(m_contacts.at(i), m_photos.value(i));
}

int ContactsPrinter::drawLabelValue(QPainter* painter, QFont& font, int x, int y, int width, QString label,
                                    QString value, bool singleLine)
{
    const int flags = Qt::AlignLeft | Qt::AlignTop | (singleLine ? Qt::TextSingleLine : Qt::TextWordWrap);
    font.setWeight(QFont::Bold);
    font.setItalic(true);
    painter->setFont(font);
    const QRect labelRect = painter->boundingRect(QRect(x, y, width, 0), flags, label);
    painter->drawText(labelRect, flags, label);
    int height = labelRect.height();
    if (!value.isEmpty()) {
        font.setWeight(QFont::Normal);
        font.setItalic(false);
        painter->setFont(font);
        const int left = labelRect.right() + 3;
        if (singleLine) {
            const QRect box(left, labelRect.top(), width - labelRect.width() - 3, labelRect.height());
            painter->drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, value);
        } else {
            // The wrapped value stays inside the column: its box is narrowed
            // by the label in front of it.
            const QRect box = painter->boundingRect(QRect(left, y, std::max(1, width - labelRect.width() - 3), 0),
                                                    Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, value);
            painter->drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, value);
            height = std::max(height, box.height());
        }
    }
    return height;
}
