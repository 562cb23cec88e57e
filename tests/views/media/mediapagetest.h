// What the media page tests share: local files with a fixed time, a
// simulated phone of its own holding media, and the screenshot a page test
// leaves in the build folder to be looked at.
#pragma once

#include "views/media/mediapages.h"

#include "scriptedprompt.h"
#include "shell/mytreeview.h"
#include "shell/pageregistry.h"

#include "mediafixture.h"
#include "pagetest.h"

#include <QLabel>
#include <QMessageBox>
#include <QTimeZone>
#include <QtTest>

#include <memory>

namespace mediapage {

// Writes data to path, modified at secs (UTC): uploads offer that time.
inline bool writeFile(const QString& path, const QByteArray& data, qint64 secs = 1325376000)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size() && f.flush()
        && f.setFileTime(QDateTime::fromSecsSinceEpoch(secs, QTimeZone::utc()), QFileDevice::FileModificationTime);
}

// A phone at 127.0.<net>.<host> with a device id of its own, holding files.
inline std::unique_ptr<testsupport::SimPhone> startPhone(int net, int host, const QList<mediatest::MediaFile>& files,
                                                         QJsonObject options = {})
{
    QJsonObject device = testsupport::defaultDevice();
    device.insert("uid", QStringLiteral("uid-%1-%2").arg(net).arg(host));
    options.insert("device", device);
    return std::make_unique<testsupport::SimPhone>(QStringLiteral("127.0.%1.%2").arg(net).arg(host),
                                                   mediatest::fixture(files, options));
}

// The page built for a navigation node, as the main window builds it; null
// when it is not a Page.
template <class Page>
std::unique_ptr<Page> registeredPage(int nav, AbsTreeItemModel::_ItemNode* node,
                                     AbsTreeItemModel::_ItemNode* devicesRoot)
{
    PageRegistry pages;
    registerMediaPages(pages);
    return std::unique_ptr<Page>(qobject_cast<Page*>(pages.create(nav, node, devicesRoot, nullptr)));
}

// Shows the page at size and saves it as screenshots/<name>.png.
inline bool screenshot(QWidget& page, QSize size, const QString& name)
{
    page.resize(size);
    page.show();
    const QString dir = testsupport::binaryDir() + "/screenshots";
    return QTest::qWaitForWindowExposed(&page) && QDir().mkpath(dir) && page.grab().save(dir + '/' + name + ".png");
}

} // namespace mediapage
