#include "formats/importcontactsthread.h"

#include "formats/csvimport.h"
#include "formats/vcardimport.h"
#include "shell/core/jobreport.h"

#include <QStringList>

#include <exception>
#include <memory>

ImportContactsToLocalThread::ImportContactsToLocalThread(const QString& path, int format, JobReport* progress,
                                                         QObject* parent)
    : QThread(parent)
    , m_path(path)
    , m_format(format)
    , m_progress(progress)
{
}

ImportContactsToLocalThread::~ImportContactsToLocalThread() = default;

void ImportContactsToLocalThread::run()
{
    std::unique_ptr<AbsImport> reader;
    if (m_format == ImportVCard)
        reader = std::make_unique<VCardImport>();
    else if (m_format == ImportCSV)
        reader = std::make_unique<CSVImport>();
    else {
        m_progress->postErrorOccurred(QString());
        return;
    }

    bool opened = false;
    try {
        reader->open(m_path);
        opened = true;
        const int total = reader->count();
        int done = 0;
        int empty = 0;
        while (reader->hasNext()) {
            if (m_progress->userCanceled()) {
                reader->close();
                return;
            }
            ++done;
            m_progress->postUpdateProgress(QString(), jobreport::percent(done, total),
                                           tr("Contacts:%1/%2").arg(done).arg(total));
            pim::_Contact contact = reader->next();
            // A card or CSV row with nothing to name it by (the readers name
            // what they can) gives nothing to show: it is left out and counted.
            if (contact.fullName.isEmpty())
                ++empty;
            else
                m_contacts.append(std::move(contact));
        }
        const int skipped = reader->skippedLines();
        reader->close();
        // Nothing to say when the whole file was read; otherwise the user
        // learns that some of it is not in the list.
        QStringList notes;
        if (skipped > 0)
            notes.append(tr("Lines of the file that could not be read and were skipped: %1").arg(skipped));
        if (empty > 0)
            notes.append(tr("Entries without a name that were skipped: %1").arg(empty));
        m_progress->postSucceed(notes.join(QLatin1Char('\n')));
    } catch (const std::exception& e) {
        if (opened)
            reader->close();
        m_progress->postErrorOccurred(QString::fromUtf8(e.what()));
    } catch (...) {
        if (opened)
            reader->close();
        m_progress->postErrorOccurred(tr("unknown error."));
    }
}
