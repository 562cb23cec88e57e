#include "abscategorypage.h"

#include "jobs/localdbselform.h"
#include "phonelink/androiddeviceinfo.h"
#include "platform/transaction.h"
#include "records/absdb.h"
#include "shell/messagebox.h"
#include "shell/modalwork.h"
#include "shell/progressform.h"
#include "shell/runjob.h"
#include "shell/uiprompt.h"

#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QCoreApplication>
#include <QCursor>
#include <QMenu>
#include <QPointer>
#include <QThread>

#include <algorithm>

AbsCategoryPage::AbsCategoryPage(Node* sourceNode, Node* devicesRoot, QWidget* parent)
    : AbsMainForm(parent)
    , m_source(sourceNode, devicesRoot)
{
    setStyleSheet(getStyleSheet());
}

AbsCategoryPage::~AbsCategoryPage()
{
    // The views first, while their models still exist; the models after.
    const QList<QAbstractItemView*> views = findChildren<QAbstractItemView*>();
    const QList<QPointer<QAbstractItemView>> guarded(views.cbegin(), views.cend());
    for (const QPointer<QAbstractItemView>& view : guarded)
        delete view.data();
    m_models.clear();
}

QString AbsCategoryPage::trPage(const char* key) const
{
    return QCoreApplication::translate(metaObject()->className(), key);
}

void AbsCategoryPage::setCommands(QList<Command> commands)
{
    // A handler left empty would throw std::bad_function_call inside the
    // action's slot, long after the table was written; the table is fixed
    // in the page's code, so the first run that builds the page says so.
    for (const Command& c : std::as_const(commands)) {
        const char* missing = nullptr;
        if (c.toolbarText && !c.onToolbar)
            missing = "onToolbar";
        else if (c.menuText && !c.onMenu)
            missing = "onMenu";
        if (missing)
            qFatal("%s: the command \"%s\" has no %s handler", metaObject()->className(),
                   c.toolbarText ? c.toolbarText : c.menuText, missing);
    }
    m_commands = std::move(commands);
}

bool AbsCategoryPage::isShown(const Command& c) const
{
    if (m_source.isPhonePage())
        return c.sources & Command::PhonePages;
    if (m_source.isBackup())
        return c.sources & Command::BackupPages;
    return false;
}

bool AbsCategoryPage::isEnabled(const Command& c) const
{
    bool on = true;
    switch (c.rule) {
    case Command::Always:
        break;
    case Command::Transfer:
        on = m_source.canTransfer();
        break;
    case Command::ConnectedPhone:
        on = m_source.isConnectedPhone();
        break;
    }
    return on && (!c.enabled || c.enabled());
}

QList<QAction*> AbsCategoryPage::createToolbarActions()
{
    QList<QAction*> actions;
    for (const Command& c : std::as_const(m_commands)) {
        if (!c.toolbarText || !isShown(c))
            continue;
        auto* action = new QAction(QIcon(QString::fromLatin1(c.icon)), trPage(c.toolbarText), this);
        action->setObjectName(QLatin1String(c.toolbarText));
        action->setEnabled(isEnabled(c));
        connect(action, &QAction::triggered, this, c.onToolbar);
        actions << action;
    }
    return actions;
}

QMenu* AbsCategoryPage::createContextMenu(int menu)
{
    if (!m_source.isValid() || !hasSelection(menu))
        return nullptr;
    auto* popup = new QMenu(this);
    QList<Command> ranked = m_commands;
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const Command& a, const Command& b) { return a.menuRank < b.menuRank; });
    for (const Command& c : std::as_const(ranked)) {
        if (c.menu != menu || !c.menuText || !isShown(c))
            continue;
        QAction* action = popup->addAction(QIcon(QString::fromLatin1(c.icon)), trPage(c.menuText));
        action->setObjectName(QLatin1String(c.menuText));
        action->setEnabled(isEnabled(c));
        connect(action, &QAction::triggered, this, c.onMenu);
    }
    return popup;
}

void AbsCategoryPage::execContextMenu(int menu)
{
    std::unique_ptr<QMenu> popup(createContextMenu(menu));
    if (!popup)
        return;
    // The chosen entry's command runs inside the menu's event loop.
    ModalWork::Scope busy;
    popup->exec(QCursor::pos());
}

bool AbsCategoryPage::loadPhoneCache(AbsLocalDb& cache, QDateTime& loadTime, const QString& title,
                                     const std::function<std::unique_ptr<QThread>(ProgressForm&)>& makeLoader)
{
    if (!m_source.isConnectedPhone())
        return false;
    return reloadCache(cache, loadTime, title, makeLoader);
}

bool AbsCategoryPage::loadTargetCache(const AndroidDeviceInfo& target, AbsLocalDb& cache, QDateTime& loadTime,
                                      const QString& title,
                                      const std::function<std::unique_ptr<QThread>(ProgressForm&)>& makeLoader)
{
    if (!target.folder.isEmpty())
        return false;
    return reloadCache(cache, loadTime, title, makeLoader);
}

bool AbsCategoryPage::reloadCache(AbsLocalDb& cache, QDateTime& loadTime, const QString& title,
                                  const std::function<std::unique_ptr<QThread>(ProgressForm&)>& makeLoader)
{
    if (!loadTime.isNull())
        return false;
    try {
        // Loading on top of an old file would mix old and new records.
        cache.closeAndRemoveFile();
    } catch (const std::exception& e) {
        showError(QStringLiteral("remove %1 error. %2").arg(cache.filePath(), QString::fromUtf8(e.what())));
        return false;
    }
    return runCacheLoader(loadTime, title, makeLoader);
}

bool AbsCategoryPage::refreshPhoneCache(QDateTime& loadTime, const QString& title,
                                        const std::function<std::unique_ptr<QThread>(ProgressForm&)>& makeLoader)
{
    if (!m_source.isConnectedPhone() || !loadTime.isNull())
        return false;
    return runCacheLoader(loadTime, title, makeLoader);
}

bool AbsCategoryPage::runCacheLoader(QDateTime& loadTime, const QString& title,
                                     const std::function<std::unique_ptr<QThread>(ProgressForm&)>& makeLoader)
{
    ProgressForm progress(title, this);
    const std::unique_ptr<QThread> loader = makeLoader(progress);
    if (runJob(progress, *loader) != JobResult::Succeeded)
        return false;
    loadTime = QDateTime::currentDateTime();
    return true;
}

bool AbsCategoryPage::deleteInTransaction(AbsLocalDb& db, const QString& question, const QString& done,
                                          const std::function<void()>& deleteRows)
{
    if (!askYesNo(question))
        return false;
    try {
        Transaction tran(db);
        deleteRows();
        tran.commit();
    } catch (const std::exception& e) {
        showError(QString::fromUtf8(e.what()));
        return false;
    }
    showInfo(done);
    return true;
}

bool AbsCategoryPage::deleteDatabaseFile(AbsLocalDb& db, const QString& question, const QString& done)
{
    if (!askYesNo(question))
        return false;
    try {
        db.closeAndRemoveFile();
    } catch (const std::exception& e) {
        showError(QString::fromUtf8(e.what()));
        return false;
    }
    showInfo(done);
    return true;
}

std::optional<QDir> AbsCategoryPage::chooseBackupFolder()
{
    LocalDbSelForm form(this, m_source.defaultBackupName());
    if (uiprompt::exec(&form) != QDialog::Accepted || !form.hasChoice())
        return std::nullopt;
    return form.localDbDir;
}

std::shared_ptr<AndroidDeviceInfo> AbsCategoryPage::chooseTransferTarget()
{
    return m_source.chooseTransferTarget(this);
}
