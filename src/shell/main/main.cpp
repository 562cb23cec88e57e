#include "shell/main/mainwindow.h"
#include "shell/main/startup.h"
#include "views/contacts/contactspages.h"
#include "views/media/mediapages.h"
#include "views/messages/messagespages.h"
#include "views/organiser/organiserpages.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // The category pages, one registration per view library.
    PageRegistry& pages = MainWindow::pages();
    registerContactsPages(pages);
    registerMediaPages(pages);
    registerMessagesPages(pages);
    registerOrganiserPages(pages);
    return startup::run(app);
}
