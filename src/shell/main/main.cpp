#include "platform/sqlite_qt.h"
#include "shell/core/translations.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    installTranslations(&app);
    if (sqlite_qt_version() != 6) {
        QMessageBox::critical(nullptr, QString(), QStringLiteral("invalid libsqlite_qt."));
        return 1;
    }
    QLabel window(QObject::tr("The main window is not available yet."));
    window.resize(640, 400);
    window.show();
    return app.exec();
}
