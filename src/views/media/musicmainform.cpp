#include "musicmainform.h"

#include "ui_musicmainform.h"

#include "jobs/androidtransfermusica2athread.h"
#include "jobs/androiduploadmusicthread.h"
#include "phonelink/androiddeviceinfo.h"
#include "phonelink/androidloadmusicthread.h"
#include "shell/itemmodelmain.h"
#include "shell/mytreeview.h"
#include "shell/progressform.h"
#include "shell/runjob.h"
#include "shell/uiprompt.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QResizeEvent>
#include <QTextStream>

#include <algorithm>

namespace {

// Where the next import's file dialog opens: the folder of the first file
// imported last, for the rest of the session.
QString& importFolder()
{
    static QString folder = QDir::currentPath();
    return folder;
}

} // namespace

MusicMainForm::MusicMainForm(int kind, Node* sourceNode, Node* devicesRoot, QWidget* parent)
    : AbsCategoryPage(sourceNode, devicesRoot, parent)
    , form(std::make_unique<Ui::MusicMainForm>())
    , m_kind(kind)
    , model(own(new ItemModelMusic(kind)))
{
    form->setupUi(this);
    connect(form->listMusic, &MyTreeView::doubleClicked, this, &MusicMainForm::dbClicked);
    connect(form->listMusic, &MyTreeView::createContextMenu, this, &MusicMainForm::miContextMenu);
    form->listMusic->setModel(model);

    using C = Command;
    const bool music = isMusic();
    setCommands({
        {.sources = C::PhonePages,
         .icon = ":res/a2a.png",
         .toolbarText
         = music ? QT_TR_NOOP("IDS_TRANSFER_TOOLBAR_MUSIC_A2A") : QT_TR_NOOP("IDS_TRANSFER_TOOLBAR_RINGTONE_A2A"),
         .menuText = music ? QT_TR_NOOP("IDS_TRANSFER_SEL_MUSIC_A2A") : QT_TR_NOOP("IDS_TRANSFER_SEL_RINGTONE_A2A"),
         .rule = C::Transfer,
         // The files are on the page's own phone.
         .enabled = [this] { return source().isConnectedPhone(); },
         .onToolbar = [this] { miToolbarA2A(); },
         .onMenu = [this] { miA2A(); }},
        {.sources = C::PhonePages,
         .icon = ":res/mi_export-sms.png",
         .toolbarText = music ? QT_TR_NOOP("IDS_EXPORT_TOOLBAR_MUSIC") : QT_TR_NOOP("IDS_EXPORT_TOOLBAR_RINGTONE"),
         .menuText = music ? QT_TR_NOOP("IDS_EXPORT_SEL_MUSIC") : QT_TR_NOOP("IDS_EXPORT_SEL_RINGTONE"),
         .onToolbar = [this] { miToolbarExport(); },
         .onMenu = [this] { miExport(); }},
        {.sources = C::PhonePages,
         .icon = ":res/import-files.png",
         .toolbarText = music ? QT_TR_NOOP("IDS_IMPORT_MUSIC") : QT_TR_NOOP("IDS_IMPORT_RINGTONE"),
         .rule = C::ConnectedPhone,
         .onToolbar = [this] { miImport(); }},
    });
    loadList();
}

MusicMainForm::~MusicMainForm() = default;

MyTreeView* MusicMainForm::listView() const
{
    return form->listMusic;
}

QLabel* MusicMainForm::countLabel() const
{
    return form->lbCount;
}

// ---------------------------------------------------------------- reading

void MusicMainForm::loadList()
{
    model->setRecords({});
    QList<MusicRecord> records;
    if (source().isConnectedPhone())
        records = loadFromPhone();
    else if (source().isVirtualDevice())
        records = loadFromVirtualDevice();
    model->setRecords(records);
    form->lbCount->setText(QStringLiteral("Total:%1").arg(records.size()));
}

QList<MusicRecord> MusicMainForm::loadFromPhone()
{
    ProgressForm progress(isMusic() ? tr("IDS_LOADING_ANDROID_MUSIC") : tr("IDS_LOADING_ANDROID_RINGTONES"), this);
    AndroidLoadMusicThread job(m_kind, source().device(), &progress);
    runJob(progress, job);
    // Also after a cancel or a failure: what arrived before it.
    return job.items();
}

QList<MusicRecord> MusicMainForm::loadFromVirtualDevice() const
{
    QFile file(QDir(source().device()->folder)
                   .absoluteFilePath(isMusic() ? QStringLiteral("music.txt") : QStringLiteral("ringtones.txt")));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QTextStream in(&file);
    return readLocalList(in);
}

QList<MusicRecord> MusicMainForm::readLocalList(QTextStream& in)
{
    in.setEncoding(QStringConverter::Utf8);
    QList<MusicRecord> records;
    QString line;
    while (in.readLineInto(&line) && !line.isEmpty()) {
        const QStringList f = line.split(QLatin1Char(';'));
        MusicRecord r;
        r.title = f.value(0);
        r.modified = QDateTime::fromString(f.value(1), QStringLiteral("yyyy-M-d h:m:s"));
        // Not a number, out of range or negative: 0.
        r.size = std::max(0, f.value(2).toInt());
        r.duration = std::max(0, f.value(3).toInt());
        records.append(r);
    }
    return records;
}

// ---------------------------------------------------------------- selection

QList<MusicRecord> MusicMainForm::selectedRecords() const
{
    return recordsOfSelection(form->listMusic, *model);
}

QList<MusicRecord> MusicMainForm::selectedOrAll() const
{
    const QList<MusicRecord> selected = selectedRecords();
    return selected.isEmpty() ? allRecords() : selected;
}

bool MusicMainForm::hasSelection(int) const
{
    return !selectedRecords().isEmpty();
}

// ---------------------------------------------------------------- commands

void MusicMainForm::dbClicked(const QModelIndex& index)
{
    if (const MusicRecord* record = model->recordAt(index))
        exportRecords({*record});
}

void MusicMainForm::exportRecords(const QList<MusicRecord>& records)
{
    if (source().isConnectedPhone()) {
        MediaExtract::run(this, source().device(), downloadFiles(records));
        return;
    }
    if (!source().isVirtualDevice())
        return;
    // The folder's files by name and by name without suffix; the first in
    // name order wins a shared stem.
    const QDir folder(QDir(source().device()->folder)
                          .absoluteFilePath(isMusic() ? QStringLiteral("music") : QStringLiteral("ringtones")));
    QHash<QString, QString> byName;
    QHash<QString, QString> byStem;
    for (const QFileInfo& info : folder.entryInfoList(QDir::Files, QDir::Name)) {
        byName.insert(info.fileName(), info.absoluteFilePath());
        if (!byStem.contains(info.completeBaseName()))
            byStem.insert(info.completeBaseName(), info.absoluteFilePath());
    }
    QList<MediaExtract::File> files;
    for (const MusicRecord& r : records)
        files.append({r.title.isEmpty() ? QString() : byName.value(r.title, byStem.value(r.title)), r.title, {}});
    MediaExtract::run(this, nullptr, files);
}

QList<MediaExtract::File> MusicMainForm::downloadFiles(const QList<MusicRecord>& records)
{
    QList<MediaExtract::File> files;
    files.reserve(records.size());
    for (const MusicRecord& r : records) {
        QString label = r.title;
        if (!label.contains(QLatin1Char('.')))
            label += QLatin1Char('.') + QFileInfo(r.path).suffix();
        files.append({r.path, r.title.isEmpty() ? r.path : r.title, label});
    }
    return files;
}

void MusicMainForm::miImport()
{
    if (!source().isConnectedPhone())
        return;
    const QStringList paths = uiprompt::getOpenFileNames(
        this, QString(), importFolder(), QStringLiteral("Audios (*.mid *.m4a *.wav *.wma *.mp2 *.mp3)"));
    if (paths.isEmpty())
        return;
    importFolder() = QFileInfo(paths.first()).absolutePath();
    ProgressForm progress(tr("IDS_IMPORTING_MUSIC"), this);
    AndroidUploadMusicThread job(m_kind, source().device(), paths, &progress);
    if (runJob(progress, job) == JobResult::Succeeded)
        loadList();
}

void MusicMainForm::transferRecords(const QList<MusicRecord>& records)
{
    if (!source().isConnectedPhone())
        return;
    const std::shared_ptr<AndroidDeviceInfo> target = chooseTransferTarget();
    if (!target)
        return;
    ProgressForm progress(tr("IDS_TRANSFERING_MUSIC_A2A"), this);
    AndroidTransferMusicA2AThread job(m_kind, source().device(), target.get(), records, &progress);
    runJob(progress, job);
}

void MusicMainForm::resizeEvent(QResizeEvent* event)
{
    AbsCategoryPage::resizeEvent(event);
    const int w = event->size().width() - 30;
    const double shares[] = {0.5, 0.2, 0.15, 0.15};
    for (int i = 0; i < 4; ++i)
        form->listMusic->header()->resizeSection(i, int(w * shares[i]));
}
