#include "formats/exporttofilethread.h"

#include "formats/abstextexport.h"
#include "formats/htmlexport.h"
#include "formats/pdfexport.h"
#include "formats/vcardexport.h"
#include "shell/core/fileutils.h"
#include "shell/core/jobreport.h"

#include <QDir>
#include <QFileInfo>

#include <exception>
#include <memory>

ExportToFileThread::ExportToFileThread(const QList<pim::_Contact>& contacts, int format, const QString& path,
                                       JobReport* progress, QObject* parent)
    : QThread(parent)
    , m_contacts(contacts)
    , m_format(format)
    , m_path(path)
    , m_progress(progress)
{
}

ExportToFileThread::~ExportToFileThread() = default;

void ExportToFileThread::run()
{
    const int total = int(m_contacts.size());
    std::unique_ptr<AbsFormatExport<const pim::_Contact>> exporter;
    HtmlExport* html = nullptr;
    QString path = m_path;
    QString createdFolder; // the HTML folder, when this job made it

    // Drops the output (the exporters write beside the target, which keeps
    // what it held) and removes what this run created: never a folder or
    // file that was there before.
    const auto discard = [&]() {
        if (html)
            html->discardOutput();
        exporter.reset();
        if (!createdFolder.isEmpty())
            removeDir(createdFolder);
    };

    // Heard while a photo is read, which may take a while.
    const auto checkCanceled = [this] { jobreport::checkCanceled(m_progress); };

    try {
        switch (m_format) {
        case ExportVCard:
            exporter = std::make_unique<VCardExport>(path);
            break;
        case ExportCSV:
            exporter = std::make_unique<CSVExport>(path, &m_contacts);
            break;
        case ExportTXT:
            exporter = std::make_unique<TxtExport>(path, &m_contacts);
            break;
        case ExportHTML: {
            createdFolder = firstMissingFolder(path);
            QDir().mkpath(path);
            path = QDir(path).absolutePath() + QLatin1Char('/') + QFileInfo(m_path).fileName();
            auto page = std::make_unique<HtmlExport>(path, checkCanceled);
            html = page.get();
            exporter = std::move(page);
            break;
        }
        case ExportPDF:
            exporter = std::make_unique<PdfExport>(path, checkCanceled);
            break;
        default:
            m_progress->postErrorOccurred(QString());
            return;
        }

        exporter->begin();
        int count = 0;
        for (const pim::_Contact& contact : std::as_const(m_contacts)) {
            if (m_progress->userCanceled()) {
                discard();
                return;
            }
            ++count;
            m_progress->postUpdateProgress(QString(), jobreport::percent(count, total),
                                           tr("Contacts:%1/%2").arg(count).arg(total));
            exporter->write(contact);
        }
        exporter->end();
        exporter.reset();
        m_progress->postSucceed(tr("IDS_SUC_EXPORT_%1_CONTACTS_TO_FILE").arg(count));
    } catch (int) {
        discard(); // cancelled while a photo was read: nothing to say
    } catch (const std::exception& e) {
        discard();
        m_progress->postErrorOccurred(QString::fromUtf8(e.what()));
    } catch (...) {
        discard();
        m_progress->postErrorOccurred(tr("unknown error."));
    }
}
