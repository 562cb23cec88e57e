#include "formats/exportfile.h"

#include <stdexcept>

void failExport(const char* what, const QString& reason)
{
    throw std::runtime_error(QStringLiteral("%1 %2").arg(QLatin1String(what), reason).toUtf8().toStdString());
}
