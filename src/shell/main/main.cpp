#include "shell/main/mainwindow.h"
#include "shell/main/startup.h"
#include "views/organiser/organiserpages.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    MainWindow::setCategoryPageFactory(
        [](int kind, AbsTreeItemModel::_ItemNode* source, AbsTreeItemModel::_ItemNode* devicesRoot,
           MainWindow* window) { return createOrganiserPage(kind, source, devicesRoot, window); });
    return startup::run(app);
}
