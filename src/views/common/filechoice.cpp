#include "filechoice.h"

#include "shell/uiprompt.h"

#include <QFileInfo>
#include <QStringList>

namespace filechoice {

namespace {

QString joined(const QList<FileFilter>& filters)
{
    QStringList texts;
    for (const FileFilter& f : filters)
        texts << f.text;
    return texts.join(QStringLiteral(";;"));
}

std::optional<FileChoice> choice(const QString& path, const QString& picked, const QList<FileFilter>& filters)
{
    if (path.isEmpty())
        return std::nullopt;
    if (filters.isEmpty())
        return FileChoice {path, -1};
    for (int i = 0; i < filters.size(); ++i) {
        if (filters.at(i).text == picked)
            return FileChoice {path, i};
    }
    return std::nullopt;
}

} // namespace

std::optional<FileChoice> askSaveFile(QWidget* parent, const QString& caption, const QString& defaultPath,
                                      const QList<FileFilter>& filters, int selected)
{
    QString picked = filters.value(selected).text;
    const QString path = uiprompt::getSaveFileName(parent, caption, defaultPath, joined(filters), &picked);
    std::optional<FileChoice> result = choice(path, picked, filters);
    if (result && result->filter >= 0 && QFileInfo(result->path).suffix().isEmpty()
        && !filters.at(result->filter).suffix.isEmpty())
        result->path += QLatin1Char('.') + filters.at(result->filter).suffix;
    return result;
}

std::optional<FileChoice> askOpenFile(QWidget* parent, const QString& caption, const QString& dir,
                                      const QList<FileFilter>& filters, int selected)
{
    QString picked = filters.value(selected).text;
    const QString path = uiprompt::getOpenFileName(parent, caption, dir, joined(filters), &picked);
    return choice(path, picked, filters);
}

} // namespace filechoice
