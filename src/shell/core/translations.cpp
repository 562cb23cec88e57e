#include "translations.h"

#include <QCoreApplication>
#include <QTranslator>

bool installTranslations(QCoreApplication* app)
{
    auto* translator = new QTranslator(app);
    if (!translator->load(QStringLiteral(":/en.qm"))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}
