#include "organiserpages.h"

#include "shell/navnodekind.h"
#include "views/organiser/callhistorymainform.h"

AbsMainForm* createOrganiserPage(int kind, AbsTreeItemModel::_ItemNode* source,
                                 AbsTreeItemModel::_ItemNode* devicesRoot, QWidget* parent)
{
    switch (kind) {
    case NAV_CALL_HISTORY:
        return new CallHistoryMainForm(source, devicesRoot, parent);
    default:
        return nullptr;
    }
}
