#include "shell/core/freedmemory.h"
#include "shell/main/mainwindow.h"
#include "shell/main/startup.h"
#include "views/contacts/contactspages.h"
#include "views/media/mediapages.h"
#include "views/messages/messagespages.h"
#include "views/organiser/organiserpages.h"

#include <QApplication>

#include <unistd.h>

int main(int argc, char* argv[])
{
    // Before any thread allocates: what jobs free is not kept for good.
    freedmemory::keepLittle();
    // The message view's web engine refuses to start as root with its
    // sandbox on (and would end the process); a root user gets it without.
    if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // The web engine shares its GL contexts with the widgets.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    // The category pages, one registration per view library.
    PageRegistry& pages = MainWindow::pages();
    registerContactsPages(pages);
    registerMediaPages(pages);
    registerMessagesPages(pages);
    registerOrganiserPages(pages);
    return startup::run(app);
}
