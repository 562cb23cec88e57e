// Which page the main window builds for a category node. Each view library
// offers register...Pages(PageRegistry&), which adds its page classes by
// node kind; main() calls them all. A kind nothing registered gets the
// "not available yet" page.
//
//   void registerOrganiserPages(PageRegistry& pages)
//   {
//       pages.add<CallHistoryMainForm>(NAV_CALL_HISTORY);
//       pages.add<PhotosMainForm>(NAV_PHOTOS, NAV_VIDEOS); // takes the kind first
//   }
#pragma once

#include "shell/absmainform.h"
#include "shell/abstreeitemmodel.h"
#include "shell/navnodekind.h"

#include <QHash>
#include <QString>

#include <functional>
#include <initializer_list>
#include <type_traits>

class PageRegistry {
public:
    using Node = AbsTreeItemModel::_ItemNode;
    // Told the folder name a page's backupFinished carries.
    using BackupFinished = std::function<void(const QString& localDbName)>;
    using Factory = std::function<AbsMainForm*(int kind, Node* source, Node* devicesRoot, QWidget* parent,
                                               const BackupFinished& onBackupFinished)>;

    // Registers Page for the kinds. Page is made with (source node, Devices
    // root, parent) or, when it has such a constructor, with (kind, source
    // node, Devices root, parent). A Page with a backupFinished(QString)
    // signal has it connected to the window's handler.
    template <typename Page, typename... Kinds> void add(Kinds... kinds)
    {
        static_assert(std::is_base_of_v<AbsMainForm, Page>, "pages derive from AbsMainForm");
        Factory factory = [](int kind, Node* source, Node* devicesRoot, QWidget* parent,
                             const BackupFinished& onBackupFinished) -> AbsMainForm* {
            Page* page = nullptr;
            if constexpr (std::is_constructible_v<Page, int, Node*, Node*, QWidget*>)
                page = new Page(kind, source, devicesRoot, parent);
            else
                page = new Page(source, devicesRoot, parent);
            if constexpr (requires { &Page::backupFinished; }) {
                if (onBackupFinished)
                    QObject::connect(page, &Page::backupFinished, page, onBackupFinished);
            }
            return page;
        };
        for (int kind : {int(kinds)...})
            m_factories.insert(kind, factory);
    }

    bool contains(int kind) const { return m_factories.contains(kind); }

    // The page for a category node of kind kind whose parent is source; null
    // when nothing is registered for the kind.
    AbsMainForm* create(int kind, Node* source, Node* devicesRoot, QWidget* parent,
                        const BackupFinished& onBackupFinished = {}) const;

private:
    QHash<int, Factory> m_factories;
};
