// Message boxes (frameless, styled, draggable), the error report against a
// loopback stub, the device chooser and the views' signals.
#include "shell/core/errorreport.h"
#include "shell/core/translations.h"
#include "shell/datasourceselform.h"
#include "shell/itemmodelmain.h"
#include "shell/messagebox.h"
#include "shell/mytreeview.h"
#include "shell/scriptedprompt.h"
#include "shell/winmovable.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QNetworkReply>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtTest>

namespace {

// A minimal HTTP endpoint on 127.0.0.1 that keeps what it was sent.
class ReportStub : public QObject {
public:
    explicit ReportStub(bool answer = true) : m_answer(answer)
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = m_server.nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, this, [this, s] {
                    m_request += s->readAll();
                    const int head = int(m_request.indexOf("\r\n\r\n"));
                    if (head < 0)
                        return;
                    const QByteArray headers = m_request.left(head).toLower();
                    const int at = int(headers.indexOf("content-length:"));
                    const int length = at < 0 ? 0 : headers.mid(at + 15, headers.indexOf("\r\n", at) - at - 15).trimmed().toInt();
                    if (m_request.size() - head - 4 < length)
                        return;
                    m_body = m_request.mid(head + 4, length);
                    m_done = true;
                    if (m_answer)
                        s->write("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok");
                });
            }
        });
    }
    QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort())); }
    QByteArray request() const { return m_request; }
    QMap<QString, QString> fields() const
    {
        QMap<QString, QString> out;
        for (const QByteArray& pair : m_body.split('&')) {
            const int eq = int(pair.indexOf('='));
            out.insert(QString::fromLatin1(pair.left(eq)), QString::fromLatin1(pair.mid(eq + 1)));
        }
        return out;
    }
    bool done() const { return m_done; }

private:
    QTcpServer m_server;
    QByteArray m_request;
    QByteArray m_body;
    bool m_done = false;
    bool m_answer;
};

QString decodeField(const QString& v)
{
    QString b = v;
    b.replace(QLatin1Char('!'), QLatin1Char('/'));
    b.replace(QLatin1Char('-'), QLatin1Char('='));
    return QString::fromUtf8(QByteArray::fromBase64(b.toLatin1()));
}

// Runs f on the box as soon as one is open, then lets the caller go on.
void onNextBox(std::function<void(QMessageBox*)> f)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, f] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            f(box);
        }
    });
    timer->start();
}

} // namespace

class TestMessageBox : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(installTranslations(qApp)); }
    void test_box_isFramelessStyledAndOrdersButtons();
    void test_box_dragsFromBackground_onlyWithLeftButton();
    void test_box_emptyAndHugeText_noHang();
    void test_showError_postsReportAfterBoxClosed();
    void test_reportFields_encodingAndCleaning();
    void test_report_offWithoutUrl_andSilentServiceTimesOut();
    void test_deviceChooser_preselectsOnlyPhone_warnsWithoutChoice();
    void test_deviceChooser_scriptedChoice_returnsIdNotPointer();
    void test_treeView_signalsSelectionBeforeBaseHandling();
};

void TestMessageBox::test_box_isFramelessStyledAndOrdersButtons()
{
    QVERIFY(!getStyleSheet().isEmpty());
    std::unique_ptr<QMessageBox> box(createMessageBox(QMessageBox::Question, QStringLiteral("Sure?"),
                                                      QMessageBox::Yes | QMessageBox::No | QMessageBox::Ok |
                                                          QMessageBox::Cancel));
    QVERIFY(box->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(box->windowFlags() & Qt::WindowType_Mask, Qt::Dialog);
    QCOMPARE(box->styleSheet(), getStyleSheet());
    QVERIFY(box->findChild<WinMovable*>());
    QCOMPARE(box->windowTitle(), appinfo::productName());
    QList<int> codes;
    for (QAbstractButton* b : box->buttons())
        codes << int(box->standardButton(b));
    QCOMPARE(codes.size(), 4);
    QVERIFY(codes.contains(QMessageBox::Yes) && codes.contains(QMessageBox::Cancel));

    // The real box through the default prompt answers with the pressed button.
    onNextBox([](QMessageBox* b) { b->button(QMessageBox::No)->click(); });
    QCOMPARE(showMessageBox(QMessageBox::Question, QStringLiteral("Really?"), QMessageBox::Yes | QMessageBox::No),
             int(QMessageBox::No));
    onNextBox([](QMessageBox* b) { b->button(QMessageBox::Yes)->click(); });
    QVERIFY(askYesNo(QStringLiteral("Go?")));
    onNextBox([](QMessageBox* b) { QTest::keyClick(b, Qt::Key_Escape); });
    QVERIFY(!askYesNo(QStringLiteral("Go?")));
}

void TestMessageBox::test_box_dragsFromBackground_onlyWithLeftButton()
{
    QWidget window(nullptr, Qt::Dialog | Qt::FramelessWindowHint);
    window.setGeometry(100, 100, 300, 200);
    WinMovable movable(&window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QPoint start = window.geometry().topLeft();

    // A press at the very corner does not start a drag.
    // (QTest maps a null position to the centre, so send the press by hand.)
    QMouseEvent press0(QEvent::MouseButtonPress, QPointF(0, 0), window.mapToGlobal(QPointF(0, 0)), Qt::LeftButton,
                       Qt::LeftButton, {});
    QApplication::sendEvent(&window, &press0);
    QMouseEvent move0(QEvent::MouseMove, QPointF(30, 30), window.mapToGlobal(QPointF(30, 30)), Qt::NoButton,
                      Qt::LeftButton, {});
    QApplication::sendEvent(&window, &move0);
    QCOMPARE(window.geometry().topLeft(), start);
    QTest::mouseRelease(&window, Qt::LeftButton, {}, QPoint(1, 1));

    // The right button does not drag.
    QTest::mousePress(&window, Qt::RightButton, {}, QPoint(50, 50));
    QMouseEvent move1(QEvent::MouseMove, QPointF(80, 70), window.mapToGlobal(QPointF(80, 70)), Qt::NoButton,
                      Qt::RightButton, {});
    QApplication::sendEvent(&window, &move1);
    QCOMPARE(window.geometry().topLeft(), start);
    QTest::mouseRelease(&window, Qt::RightButton, {}, QPoint(50, 50));

    // The left button drags the grabbed point along.
    QTest::mousePress(&window, Qt::LeftButton, {}, QPoint(50, 50));
    QMouseEvent move2(QEvent::MouseMove, QPointF(90, 60), window.mapToGlobal(QPointF(90, 60)), Qt::NoButton,
                      Qt::LeftButton, {});
    QApplication::sendEvent(&window, &move2);
    QCOMPARE(window.geometry().topLeft(), start + QPoint(40, 10));
    QTest::mouseRelease(&window, Qt::LeftButton, {}, QPoint(90, 60));
}

void TestMessageBox::test_box_emptyAndHugeText_noHang()
{
    QElapsedTimer t;
    t.start();
    onNextBox([](QMessageBox* b) { b->button(QMessageBox::Ok)->click(); });
    showInfo(QString());
    const QString huge(2 * 1024 * 1024, QLatin1Char('x'));
    onNextBox([](QMessageBox* b) {
        QVERIFY(b->text().size() < 10000);
        b->button(QMessageBox::Ok)->click();
    });
    showWarning(huge);
    QVERIFY2(t.elapsed() < 5000, qPrintable(QString::number(t.elapsed())));
}

void TestMessageBox::test_showError_postsReportAfterBoxClosed()
{
    ReportStub stub;
    qputenv("APP_WEB_SERVICE_URL", stub.url().toString().toLatin1());
    bool boxClosed = false;
    bool requestWhileOpen = false;
    onNextBox([&](QMessageBox* b) {
        QVERIFY(b->text().contains(QStringLiteral("An Error Occurred.")));
        QVERIFY(b->text().contains(getAppTitle()));
        QTest::qWait(100);
        requestWhileOpen = stub.done();
        boxClosed = true;
        b->button(QMessageBox::Ok)->click();
    });
    showError(QStringLiteral("Open failed.<BR />Disk <b>full</b>"));
    qunsetenv("APP_WEB_SERVICE_URL");
    QVERIFY(boxClosed);
    QVERIFY(!requestWhileOpen);
    QTRY_VERIFY_WITH_TIMEOUT(stub.done(), 5000);
    QVERIFY(stub.request().startsWith("POST /err_report.php HTTP/1.1"));
    QVERIFY(stub.request().toLower().contains("content-type: application/x-www-form-urlencoded"));
    QVERIFY(stub.request().toLower().contains("host: 127.0.0.1"));
    const auto f = stub.fields();
    QCOMPARE(f.keys(), (QStringList{"err", "prod", "ver"}));
    QCOMPARE(decodeField(f.value("prod")), QStringLiteral("Quillharbor Handset Ferry"));
    QCOMPARE(decodeField(f.value("ver")), QStringLiteral("3.1.28(28)"));
    QCOMPARE(decodeField(f.value("err")), QStringLiteral("Open failed.\r\nDisk &lt;b&gt;full&lt;/b&gt;"));
}

void TestMessageBox::test_reportFields_encodingAndCleaning()
{
    QCOMPARE(errorreport::encodeReportField(QString()), QString());
    QCOMPARE(errorreport::encodeReportField(QStringLiteral("abc")), QStringLiteral("YWJj"));
    QCOMPARE(errorreport::encodeReportField(QStringLiteral("a")), QStringLiteral("YQ--"));
    QCOMPARE(errorreport::encodeReportField(QStringLiteral("\xff\xfe?>")), QStringLiteral("w7/Dvj8+").replace('/', '!'));
    QCOMPARE(errorreport::cleanErrorText(QStringLiteral("a<br>b< BR  />c<Br/>d")),
             QStringLiteral("a\r\nb\r\nc\r\nd"));
    QCOMPARE(errorreport::cleanErrorText(QStringLiteral("<b>x</b>")), QStringLiteral("&lt;b&gt;x&lt;/b&gt;"));
    const QByteArray body = errorreport::buildReportBody(QStringLiteral("e"));
    QVERIFY(body.startsWith("prod="));
    QVERIFY(body.contains("&ver=") && body.contains("&err=ZQ--"));
}

void TestMessageBox::test_report_offWithoutUrl_andSilentServiceTimesOut()
{
    qunsetenv("APP_WEB_SERVICE_URL");
    QVERIFY(!appinfo::webServiceUrl().isValid());
    QVERIFY(!errorreport::sendErrorReport(QStringLiteral("nothing leaves")));
    qputenv("APP_WEB_SERVICE_URL", "not a url");
    QVERIFY(!errorreport::sendErrorReport(QStringLiteral("nothing leaves")));
    qunsetenv("APP_WEB_SERVICE_URL");

    ReportStub silent(false); // reads the request, never answers
    QElapsedTimer t;
    t.start();
    QNetworkReply* reply = errorreport::sendErrorReportTo(silent.url(), QStringLiteral("x"), nullptr, 300);
    QVERIFY(reply);
    QSignalSpy finished(reply, &QNetworkReply::finished);
    QVERIFY(finished.wait(5000));
    QVERIFY(t.elapsed() < 5000);
    QVERIFY(silent.done());
}

void TestMessageBox::test_deviceChooser_preselectsOnlyPhone_warnsWithoutChoice()
{
    ScriptedPrompt prompt;
    DataSourceSelForm one;
    prompt.answerDialog(QDialog::Accepted, QStringLiteral("DataSourceSelForm"), [](QDialog* d) {
        QCOMPARE(static_cast<DataSourceSelForm*>(d)->currentEntry(), 0);
    });
    QCOMPARE(one.setDataSources(QStringLiteral("Pick"), {DataSourceItem(":res/android.png", "A", "id-a")}),
             QStringLiteral("id-a"));

    DataSourceSelForm two;
    prompt.answerDialog(QDialog::Rejected, QStringLiteral("DataSourceSelForm"), [](QDialog* d) {
        auto* form = static_cast<DataSourceSelForm*>(d);
        QCOMPARE(form->currentEntry(), -1);
        QTest::mousePress(form->findChild<QPushButton*>(QStringLiteral("btnOK")), Qt::LeftButton);
        QCOMPARE(form->result(), 0); // still open: the warning was shown
        form->selectId(QStringLiteral("id-b"));
    });
    prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Need to select"));
    const QString chosen = two.setDataSources(
        QStringLiteral("Pick"), {DataSourceItem(":res/android.png", "A", "id-a"), DataSourceItem(":res/android.png", "B", "id-b")});
    QCOMPARE(chosen, QString()); // cancelled, whatever was selected
    QVERIFY2(prompt.unexpected().isEmpty(), qPrintable(prompt.unexpected().join('\n')));
}

void TestMessageBox::test_deviceChooser_scriptedChoice_returnsIdNotPointer()
{
    ItemModelMain model;
    AndroidDeviceInfo a, b;
    a.serial = QStringLiteral("SA");
    a.uid = QStringLiteral("UA");
    a.model = QStringLiteral("Alpha");
    b.serial = QStringLiteral("SB");
    b.uid = QStringLiteral("UB");
    b.model = QStringLiteral("Beta");
    model.addAndroidDevice(a);
    auto* nodeB = model.addAndroidDevice(b);

    const auto others = DataSourceSelForm::otherPhones(model.devicesRoot(), QStringLiteral("UA"));
    QCOMPARE(others.size(), 1);
    QCOMPARE(others.first().id, b.deviceId());

    ScriptedPrompt prompt;
    prompt.answerDialog(QDialog::Accepted, QStringLiteral("DataSourceSelForm"), [&](QDialog* d) {
        // The phone disconnects while the dialog is open.
        model.removeNode(nodeB);
        static_cast<DataSourceSelForm*>(d)->selectId(b.deviceId());
    });
    const QString id = DataSourceSelForm::chooseOtherPhone(nullptr, model.devicesRoot(), QString());
    QCOMPARE(id, b.deviceId());
    QVERIFY(!model.findAndroidDevice(id)); // the caller finds it gone and stops
    QCOMPARE(prompt.questions().size(), 1);
}

void TestMessageBox::test_treeView_signalsSelectionBeforeBaseHandling()
{
    QStandardItemModel model(3, 1);
    MyTreeView view;
    view.setModel(&model);
    bool selectionHeld = false;
    connect(&view, &MyTreeView::onSelectionChanged, this,
            [&](const QItemSelection& sel, const QItemSelection&) {
                selectionHeld = view.selectionModel()->isSelected(sel.indexes().value(0));
            });
    QSignalSpy menu(&view, &MyTreeView::createContextMenu);
    view.selectionModel()->select(model.index(1, 0), QItemSelectionModel::Select);
    QVERIFY(selectionHeld);
    QContextMenuEvent ev(QContextMenuEvent::Mouse, QPoint(5, 5));
    QApplication::sendEvent(view.viewport(), &ev);
    QCOMPARE(menu.count(), 1);
}

QTEST_MAIN(TestMessageBox)
#include "test_messagebox.moc"
