// The pages of the organiser kinds, by navigation node kind, for the main
// window's page switch.
#pragma once

#include "shell/abstreeitemmodel.h"

class AbsMainForm;
class QWidget;

// The page for a category node of kind kind whose parent node is source;
// null for a kind this library has no page for.
AbsMainForm* createOrganiserPage(int kind, AbsTreeItemModel::_ItemNode* source,
                                 AbsTreeItemModel::_ItemNode* devicesRoot, QWidget* parent);
