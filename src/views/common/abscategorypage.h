// Base of the category pages (contacts, messages, calls, ...). A page
// derives from it, builds its widgets from its Designer form, describes its
// commands in one table, and uses the helpers below for what every page does
// the same way: resolve its source, load a phone's cache, ask for a backup
// folder or a transfer target, and run jobs.
//
// The command table gives, once, each command's icon, toolbar and menu text,
// where it shows and when it is enabled; the toolbar actions and the context
// menu are both built from it. The slots the pages name (miExport,
// miToolbarExport, ...) stay as one-line wrappers that the table points to.
// The backup, transfer, export and delete rows that pages of records share
// come from recordCommands; AbsRecordPage adds what those pages share
// besides.
//
// Item models handed to own() go after the page's item views when the page
// is destroyed (a view must never outlive its model).
#pragma once

#include "shell/absmainform.h"
#include "shell/abstreeitemmodel.h"
#include "shell/pagesource.h"

#include <QAbstractItemView>
#include <QDateTime>
#include <QDir>
#include <QItemSelectionModel>
#include <QList>

#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

class AbsLocalDb;
class AndroidDeviceInfo;
class ProgressForm;
class QAbstractItemModel;
class QMenu;
class QThread;

class AbsCategoryPage : public AbsMainForm {
    Q_OBJECT

public:
    using Node = AbsTreeItemModel::_ItemNode;

    // One command of the page. Tables name each row's fields (designated
    // initialisers); a field left out keeps the default below.
    struct Command {
        // Which sources offer it.
        enum Sources { PhonePages = 1, BackupPages = 2, AllSources = 3 };
        // When it is enabled (besides `enabled`, when set).
        enum Rule {
            Always,
            Transfer, // a phone other than the page's own is connected
            ConnectedPhone // the page's own device is a connected phone
        };

        Sources sources = AllSources;
        const char* icon = nullptr; // resource path
        // Text keys in the page's translation context (QT_TR_NOOP them in
        // the page's code); null: not on the toolbar / not in the menu.
        const char* toolbarText = nullptr;
        const char* menuText = nullptr;
        Rule rule = Always;
        std::function<bool()> enabled {}; // further condition, may be empty
        std::function<void()> onToolbar {};
        std::function<void()> onMenu {};
        int menu = 0; // which context menu (pages with several lists)
        // Place in the context menu when it differs from the toolbar's
        // order: entries go by rank, equal ranks in table order.
        int menuRank = 0;
    };

    // The commands that pages of records share (recordCommands).
    enum class RecordCommand { Backup, ToPhone, FromBackup, Export, Delete };
    // Whether Page has the public slot that command calls from its menu
    // entry (the toolbar's miToolbar... slot goes with it).
    template <typename Page, RecordCommand command> static constexpr bool hasRecordSlots()
    {
        switch (command) {
        case RecordCommand::Backup:
            return (requires(Page * p) { p->miBackup(); });
        case RecordCommand::ToPhone:
            return (requires(Page * p) { p->miA2A(); });
        case RecordCommand::FromBackup:
            return (requires(Page * p) { p->miDB2A(); });
        case RecordCommand::Export:
            return (requires(Page * p) { p->miExport(); });
        case RecordCommand::Delete:
            return (requires(Page * p) { p->miDelete(); });
        }
        return false;
    }
    // The texts of one of those commands of Page: keys in the page's
    // translation context (QT_TR_NOOP them in the page's code); left out,
    // the command is not there. Giving them for a command whose slots Page
    // lacks does not compile.
    template <typename Page, RecordCommand command> struct RecordCommandText {
        const char* toolbar = nullptr;
        const char* menu = nullptr;

        constexpr RecordCommandText() = default;
        constexpr RecordCommandText(const char* toolbarKey, const char* menuKey)
            : toolbar(toolbarKey)
            , menu(menuKey)
        {
            static_assert(command != RecordCommand::Backup || hasRecordSlots<Page, command>(),
                          "recordCommands: .backup needs the public slots miBackup() and miToolbarBackup()");
            static_assert(command != RecordCommand::ToPhone || hasRecordSlots<Page, command>(),
                          "recordCommands: .toPhone needs the public slots miA2A() and miToolbarA2A()");
            static_assert(command != RecordCommand::FromBackup || hasRecordSlots<Page, command>(),
                          "recordCommands: .fromBackup needs the public slots miDB2A() and miToolbarDB2A()");
            static_assert(command != RecordCommand::Export || hasRecordSlots<Page, command>(),
                          "recordCommands: .exportTo needs the public slots miExport() and miToolbarExport()");
            static_assert(command != RecordCommand::Delete || hasRecordSlots<Page, command>(),
                          "recordCommands: .remove needs the public slots miDelete() and miToolbarDelete()");
        }
    };
    // The texts of the commands of a page of records.
    template <typename Page> struct RecordCommandTexts {
        RecordCommandText<Page, RecordCommand::Backup> backup {};
        RecordCommandText<Page, RecordCommand::ToPhone> toPhone {}; // from a phone to another
        RecordCommandText<Page, RecordCommand::FromBackup> fromBackup {}; // from a backup folder to a phone
        RecordCommandText<Page, RecordCommand::Export> exportTo {};
        RecordCommandText<Page, RecordCommand::Delete> remove {};
    };

    ~AbsCategoryPage() override;

    const PageSource& source() const { return m_source; }

    // From the command table: the toolbar entries for this source, parented
    // to the page, each named (objectName) by its command's toolbar key.
    QList<QAction*> createToolbarActions() override;
    // The context menu's entries for this source (null when the list has no
    // selection), each named by its command's menu key; the caller owns the
    // menu.
    QMenu* createContextMenu(int menu = 0);
    // Opens that menu at the cursor and runs the chosen entry.
    void execContextMenu(int menu = 0);

protected:
    AbsCategoryPage(Node* sourceNode, Node* devicesRoot, QWidget* parent);

    // The command table. A row on the toolbar without onToolbar, or in a
    // menu without onMenu, is a mistake in the page's code: it stops the
    // program here, naming the page and the command.
    void setCommands(QList<Command> commands);
    // The commands of a page of records, in toolbar order: backup (phone
    // pages), transfer to another phone (phone pages) and to a phone
    // (backup folders), export (every source) and delete (backup folders).
    // Each calls the page's slots (miToolbarBackup / miBackup, miToolbarA2A
    // / miA2A, miToolbarDB2A / miDB2A, miToolbarExport / miExport,
    // miToolbarDelete / miDelete); a command is there when its texts are
    // given, and giving them for a page without its slots does not compile.
    template <typename Page>
    static QList<Command> recordCommands(Page* page, const RecordCommandTexts<std::type_identity_t<Page>>& texts);
    // Whether the list behind context menu `menu` has a selection.
    virtual bool hasSelection(int menu) const = 0;

    // What the selected rows of view hold, as its model says: a copy of
    // the record of each selected row that holds one (model.recordAt), in
    // selection order.
    template <typename Model>
    static QList<typename Model::RecordType> recordsOfSelection(const QAbstractItemView* view, const Model& model)
    {
        QList<typename Model::RecordType> result;
        if (const QItemSelectionModel* selection = view->selectionModel()) {
            for (const QModelIndex& index : selection->selectedRows(0)) {
                if (const auto* record = model.recordAt(index))
                    result.append(*record);
            }
        }
        return result;
    }

    // Keeps a model of the page's views (see the class comment).
    template <typename Model> Model* own(Model* model)
    {
        m_models.emplace_back(model);
        return model;
    }

    // The cache of a connected phone whose kind was not loaded since the
    // phone connected (loadTime null): the old cache file goes first (a
    // load always fills an empty cache; when it cannot go, the error names
    // it and nothing is loaded), the loader runs under a progress dialog
    // titled title, and loadTime is stamped when it succeeded. Does nothing
    // for other sources or when loaded already. True when a load ran and
    // succeeded.
    bool loadPhoneCache(AbsLocalDb& cache, QDateTime& loadTime, const QString& title,
                        const std::function<std::unique_ptr<QThread>(ProgressForm&)>& makeLoader);
    // The same for a cache that the loader brings up to date in place (the
    // message store): nothing is removed first.
    bool refreshPhoneCache(QDateTime& loadTime, const QString& title,
                           const std::function<std::unique_ptr<QThread>(ProgressForm&)>& makeLoader);
    // The same as loadPhoneCache for another phone's cache (a transfer's
    // target, whose cache must mirror it before the transfer): does nothing
    // for a virtual device or when loaded already.
    bool loadTargetCache(const AndroidDeviceInfo& target, AbsLocalDb& cache, QDateTime& loadTime, const QString& title,
                         const std::function<std::unique_ptr<QThread>(ProgressForm&)>& makeLoader);

    // Deletion on a backup page, after askYesNo(question): deleteRows runs
    // inside one transaction on db, all or nothing; a failure is rolled
    // back and shown, success is told with showInfo(done). True when the
    // rows went (the page then reloads).
    bool deleteInTransaction(AbsLocalDb& db, const QString& question, const QString& done,
                             const std::function<void()>& deleteRows);
    // The same for deleting the whole database file.
    bool deleteDatabaseFile(AbsLocalDb& db, const QString& question, const QString& done);

    // Asks for the backup folder (the chooser suggests the device's name);
    // empty when the user cancelled.
    std::optional<QDir> chooseBackupFolder();
    // Asks for the phone a transfer goes to; null when cancelled. Hold it
    // while the transfer runs: the phone's node may go meanwhile.
    std::shared_ptr<AndroidDeviceInfo> chooseTransferTarget();

    // Translates a key of the command table in the page's own context.
    QString trPage(const char* key) const;

private:
    bool isShown(const Command& c) const;
    // The load of loadPhoneCache, for a phone known to be connected.
    bool reloadCache(AbsLocalDb& cache, QDateTime& loadTime, const QString& title,
                     const std::function<std::unique_ptr<QThread>(ProgressForm&)>& makeLoader);
    bool runCacheLoader(QDateTime& loadTime, const QString& title,
                        const std::function<std::unique_ptr<QThread>(ProgressForm&)>& makeLoader);
    bool isEnabled(const Command& c) const;

    PageSource m_source;
    QList<Command> m_commands;
    std::vector<std::unique_ptr<QAbstractItemModel>> m_models;
};

template <typename Page>
QList<AbsCategoryPage::Command>
AbsCategoryPage::recordCommands(Page* page, const RecordCommandTexts<std::type_identity_t<Page>>& texts)
{
    QList<Command> table;
    // The row, with its texts, when the page gave them.
    const auto add = [&table](const auto& text, Command row) {
        if (!text.toolbar)
            return;
        row.toolbarText = text.toolbar;
        row.menuText = text.menu;
        table.append(std::move(row));
    };
    if constexpr (hasRecordSlots<Page, RecordCommand::Backup>())
        add(texts.backup,
            {.sources = Command::PhonePages,
             .icon = ":res/save-to-database.png",
             .onToolbar = [page] { page->miToolbarBackup(); },
             .onMenu = [page] { page->miBackup(); }});
    if constexpr (hasRecordSlots<Page, RecordCommand::ToPhone>())
        add(texts.toPhone,
            {.sources = Command::PhonePages,
             .icon = ":res/a2a.png",
             .rule = Command::Transfer,
             .onToolbar = [page] { page->miToolbarA2A(); },
             .onMenu = [page] { page->miA2A(); }});
    if constexpr (hasRecordSlots<Page, RecordCommand::FromBackup>())
        add(texts.fromBackup,
            {.sources = Command::BackupPages,
             .icon = ":res/db2a.png",
             .rule = Command::Transfer,
             .onToolbar = [page] { page->miToolbarDB2A(); },
             .onMenu = [page] { page->miDB2A(); }});
    if constexpr (hasRecordSlots<Page, RecordCommand::Export>())
        add(texts.exportTo,
            {.icon = ":res/mi_export-sms.png",
             .onToolbar = [page] { page->miToolbarExport(); },
             .onMenu = [page] { page->miExport(); }});
    if constexpr (hasRecordSlots<Page, RecordCommand::Delete>())
        add(texts.remove,
            {.sources = Command::BackupPages,
             .icon = ":res/mi_delete.png",
             .onToolbar = [page] { page->miToolbarDelete(); },
             .onMenu = [page] { page->miDelete(); }});
    return table;
}
