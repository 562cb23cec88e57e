// Base of the pages of records (call history, calendar, bookmarks, notes,
// playlists, voicemail): one list of the records of one database file, with
// their count below it. A page hands over its list and count label once its
// form is built; the helpers below do what these pages do alike: open the
// source's database (loading a connected phone's cache into it first), take
// the selected rows' records from the model, back records up into a backup
// folder and transfer them to another phone.
#pragma once

#include "phonelink/androiddeviceinfo.h"
#include "shell/itemmodelmain.h"
#include "shell/mytreeview.h"
#include "shell/progressform.h"
#include "shell/runjob.h"
#include "views/common/abscategorypage.h"

#include <QDateTime>
#include <QDir>
#include <QList>
#include <QSharedPointer>
#include <QString>

#include <memory>
#include <optional>

class QAbstractItemModel;
class QLabel;

class AbsRecordPage : public AbsCategoryPage {
    Q_OBJECT

public:
    MyTreeView* listView() const { return m_list; }
    QLabel* countLabel() const { return m_count; }
    // The path of the database that openDatabase opened; empty without one.
    const QString& databasePath() const { return m_databasePath; }

protected:
    AbsRecordPage(Node* sourceNode, Node* devicesRoot, QWidget* parent);

    // The page's list, which gets model, and its count label (both from the
    // page's form).
    void setRecordList(MyTreeView* list, QLabel* count, QAbstractItemModel* model);
    // Whether any row of the list is selected.
    bool hasSelectedRows() const;
    // The context menu opens on a selected row (the list's column 0 wholly
    // selected); a page whose rows do not all hold a record overrides it.
    bool hasSelection(int menu) const override;

    // The records of the selected rows, as model says (see
    // recordsOfSelection), in selection order.
    template <typename Model> QList<typename Model::RecordType> selectedRecords(const Model& model) const
    {
        return recordsOfSelection(m_list, model);
    }
    // Those, or all of model's records when no row holding one is selected.
    template <typename Model> QList<typename Model::RecordType> selectedRecordsOrAll(const Model& model) const
    {
        const QList<typename Model::RecordType> selected = selectedRecords(model);
        return selected.isEmpty() ? model.records() : selected;
    }

    // The source's database file fileName (null when the source has none).
    // For a connected phone the cache is first loaded by a Loader(device,
    // db, progress) under a dialog titled loadTitle, unless the phone's
    // loadTime says it was loaded since it connected (see loadPhoneCache).
    template <typename Db, typename Loader>
    QSharedPointer<Db> openDatabase(const char* fileName, QDateTime AndroidDeviceInfo::*loadTime,
                                    const QString& loadTitle)
    {
        const QString path = source().databasePath(QLatin1String(fileName));
        if (path.isEmpty())
            return {};
        m_databasePath = path;
        QSharedPointer<Db> db(new Db(path));
        if (AndroidDeviceInfo* device = source().device())
            loadPhoneCache(*db, device->*loadTime, loadTitle, [&](ProgressForm& progress) {
                return std::make_unique<Loader>(device, db.data(), &progress);
            });
        return db;
    }

    // Backs records up (phone pages only): asks for the backup folder and
    // runs a Job(db, records, progress) into its fileName under a dialog
    // titled title. The folder's name when the job succeeded.
    template <typename Job, typename Db, typename Records>
    std::optional<QString> backupRecords(const char* fileName, const QString& title, const Records& records)
    {
        if (!source().isPhonePage())
            return std::nullopt;
        const std::optional<QDir> folder = chooseBackupFolder();
        if (!folder)
            return std::nullopt;
        Db db(folder->absoluteFilePath(QLatin1String(fileName)));
        ProgressForm progress(title, this);
        Job job(&db, records, &progress);
        if (runJob(progress, job) != JobResult::Succeeded)
            return std::nullopt;
        return folder->dirName();
    }

    // Transfers records to a phone the user picks: a Job(device, db,
    // records, progress) with the target's cache fileName, under a dialog
    // titled title with parent dialogParent.
    template <typename Job, typename Db, typename Records>
    void transferRecords(const char* fileName, const QString& title, QWidget* dialogParent, const Records& records)
    {
        const std::shared_ptr<AndroidDeviceInfo> target = chooseTransferTarget();
        if (!target)
            return;
        ProgressForm progress(title, dialogParent);
        Db db(target->cacheDir().absoluteFilePath(QLatin1String(fileName)));
        Job job(target.get(), &db, records, &progress);
        runJob(progress, job);
    }

private:
    MyTreeView* m_list = nullptr;
    QLabel* m_count = nullptr;
    QString m_databasePath;
};
