#include "pagetest.h"

#include "phonelink/protocol/simpleprotocol.h"
#include "shell/absmainform.h"
#include "shell/core/dataroot.h"
#include "shell/core/plaintext.h"
#include "shell/core/translations.h"
#include "shell/progressform.h"

#include <QAbstractItemModelTester>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QSet>
#include <QTcpServer>
#include <QTextDocument>
#include <QTimer>

namespace testsupport {

PageTest::PageTest(ClassPhone phone)
    : m_classPhone(std::move(phone))
{
}

PageTest::~PageTest() = default;

void PageTest::initTestCase()
{
    installTranslations(qApp);
    // Each session listens on a port that is free now (the time-based
    // formula could meet a port another test holds).
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    simpleprotocol::setLocalPortProvider([port = int(probe.serverPort())] { return port; });
    if (m_classPhone) {
        m_sim = std::make_unique<SimPhone>(m_classPhone->address, fixtureFile(m_classPhone->fixture));
        QVERIFY2(m_sim->ok(), qPrintable(m_sim->error));
    }
}

void PageTest::init()
{
    if (m_classPhone && m_classPhone->addEachTest)
        m_phone = addPhone(*m_sim);
}

void PageTest::cleanup()
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

QStringList PageTest::column(const QAbstractItemModel& model, int col, const QModelIndex& parent)
{
    QStringList out;
    for (int r = 0; r < model.rowCount(parent); ++r)
        out << model.index(r, col, parent).data().toString();
    return out;
}

QString PageTest::shownText(const QString& text)
{
    if (!Qt::mightBeRichText(text))
        return text;
    QTextDocument document;
    document.setHtml(text);
    return document.toPlainText();
}

QStringList PageTest::shownToolTips(const QAbstractItemModel& model, int col, const QModelIndex& parent)
{
    QStringList out;
    for (int r = 0; r < model.rowCount(parent); ++r)
        out << shownText(shownToolTip(model.index(r, col, parent)));
    return out;
}

void PageTest::selectRows(QAbstractItemView* view, const QList<int>& rows)
{
    view->selectionModel()->clearSelection();
    for (int r : rows)
        view->selectionModel()->select(view->model()->index(r, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

QStringList PageTest::texts(const QList<QAction*>& actions)
{
    QStringList out;
    for (const QAction* a : actions)
        out << a->text();
    return out;
}

QList<bool> PageTest::enabledStates(const QList<QAction*>& actions)
{
    QList<bool> on;
    for (const QAction* a : actions)
        on << a->isEnabled();
    return on;
}

bool PageTest::triggerAction(AbsMainForm& page, const QString& text, std::source_location at)
{
    return triggerAmong(installedActions(page), text, QStringLiteral("the toolbar of ") + pageName(page), at);
}

QList<QAction*> PageTest::installedActions(AbsMainForm& page)
{
    // The page owns its actions; each command's action is named by its
    // table. The first of a name is the one made right after the page.
    const auto named = [&page] {
        QList<QAction*> first;
        QSet<QString> names;
        for (QAction* a : page.findChildren<QAction*>(Qt::FindDirectChildrenOnly)) {
            if (!a->objectName().isEmpty() && !names.contains(a->objectName())) {
                names.insert(a->objectName());
                first << a;
            }
        }
        return first;
    };
    if (named().isEmpty())
        page.createToolbarActions();
    return named();
}

QString PageTest::pageName(const QWidget& page)
{
    return QString::fromLatin1(page.metaObject()->className());
}

bool PageTest::triggerAmong(const QList<QAction*>& actions, const QString& text, const QString& where,
                            std::source_location at)
{
    QAction* action = nullptr;
    for (QAction* a : actions)
        if (a->text() == text)
            action = a;
    HELPER_VERIFY2(action,
                   qPrintable(QStringLiteral("no \"%1\" in %2, which has: %3")
                                  .arg(text, where, texts(actions).join(QStringLiteral(", ")))));
    HELPER_VERIFY2(action->isEnabled(), qPrintable(QStringLiteral("\"%1\" in %2 is disabled").arg(text, where)));
    action->trigger();
    return true;
}

bool PageTest::cancelProgressWhen(QObject* context, const std::function<bool()>& ready,
                                  const std::function<void()>& run)
{
    bool pressed = false;
    QTimer canceller;
    QObject::connect(&canceller, &QTimer::timeout, context, [&] {
        if (pressed || !ready())
            return;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* form = qobject_cast<ProgressForm*>(w); form && form->isVisible()) {
                pressed = true;
                form->reject(); // as Cancel does
            }
        }
    });
    canceller.start(20);
    run();
    return pressed;
}

} // namespace testsupport
