#include "shell/main/mainwindow.h"
#include "shell/main/startup.h"
#include "views/media/mediapages.h"
#include "views/organiser/organiserpages.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // The category pages, one registration per view library.
    PageRegistry& pages = MainWindow::pages();
    registerOrganiserPages(pages);
    registerMediaPages(pages);
    return startup::run(app);
}
