#include "pagetest.h"

#include "phonelink/protocol/simpleprotocol.h"
#include "shell/core/dataroot.h"
#include "shell/core/translations.h"

#include <QAbstractItemModelTester>
#include <QAbstractItemView>
#include <QAction>
#include <QCoreApplication>
#include <QTcpServer>

namespace testsupport {

QStringList columnTexts(const QAbstractItemModel& model, int column)
{
    QStringList out;
    for (int r = 0; r < model.rowCount(); ++r)
        out << model.index(r, column).data().toString();
    return out;
}

QStringList actionTexts(const QList<QAction*>& actions)
{
    QStringList out;
    for (const QAction* a : actions)
        out << a->text();
    return out;
}

void selectRows(QAbstractItemView* view, const QList<int>& rows)
{
    view->selectionModel()->clearSelection();
    for (int r : rows)
        view->selectionModel()->select(view->model()->index(r, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void PageTest::initPageTests()
{
    installTranslations(qApp);
    // Each session listens on a port that is free now (the time-based
    // formula could meet a port another test holds).
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    simpleprotocol::setLocalPortProvider([port = int(probe.serverPort())] { return port; });
}

void PageTest::cleanupPage()
{
    m_tree.removeChildren(m_tree.devicesRoot());
    m_tree.removeChildren(m_tree.localDbRoot());
    resetDataRoot();
}

_AndroidDeviceItemNode* PageTest::addPhone(const SimPhone& phone)
{
    return m_tree.addAndroidDevice(phone.device);
}

_AndroidDeviceItemNode* PageTest::addVirtualDevice(const QString& name, QString* folder)
{
    const QDir dir(getDataDir().absoluteFilePath(QLatin1String(dataroot::kVirtualAndroid) + QLatin1Char('/') + name));
    dir.mkpath(QStringLiteral("."));
    AndroidDeviceInfo info;
    info.folder = dir.absolutePath();
    info.manufacturer = QStringLiteral("Virtual");
    info.model = name;
    info.uid = QStringLiteral("virtual-") + name;
    info.imei = QStringLiteral("virtual-") + name;
    if (folder)
        *folder = dir.absolutePath();
    return m_tree.addAndroidDevice(info);
}

_LocalDbItemNode* PageTest::addBackup(const QString& name)
{
    const QDir dir(getLocalDatabasesDir().absoluteFilePath(name));
    dir.mkpath(QStringLiteral("."));
    return m_tree.addLocalDb(dir);
}

void PageTest::checkModel(QAbstractItemModel* model)
{
    new QAbstractItemModelTester(model, QAbstractItemModelTester::FailureReportingMode::QtTest, model);
}

} // namespace testsupport
