// The photos and videos page end to end against simulated phones: albums
// and the grid filled from the phone, thumbnails arriving in the background
// over the one connection every run of the page uses, Transfer to a second
// phone and Import; a virtual device's folders with the thumbnails made
// beside their pictures and Extract; an empty phone and an album of 50,000
// items on a phone slow to send thumbnails. (Downloads are the jobs' tests.)
// Pictures and thumbnail files are read by the picture reader, never on the
// window's thread.
#include "views/media/itemmodelbucket.h"
#include "views/media/itemmodelphotoicon.h"
#include "views/media/photosmainform.h"

#include "phonelink/androidloadthumbnailsthread.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "pictures/pictureloader.h"
#include "shell/mylistview.h"
#include "shell/progressform.h"

#include "decodewatch.h"
#include "mediapagetest.h"
#include "testpictures.h"

#include <QBuffer>
#include <QTcpServer>

using mediapage::writeFile;
using mediatest::MediaFile;

namespace {

// A small picture of one colour.
QByteArray picture(const QColor& color, const char* format = "JPEG")
{
    QImage image(160, 120, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    return buffer.open(QIODevice::WriteOnly) && image.save(&buffer, format) ? bytes : QByteArray();
}

// Camera: three pictures, one that does not decode and an empty one;
// Beach: two. Dates give the order newest first.
QList<MediaFile> phonePhotos()
{
    const auto photo = [](const char* path, const QByteArray& data, qint64 date, const char* album) {
        return MediaFile {"images", QString::fromUtf8(path), data, date, QString::fromUtf8(album)};
    };
    return {
        photo("/sdcard/DCIM/Camera/red.jpg", picture(QColor(200, 40, 40)), 1700000030, "Camera"),
        photo("/sdcard/DCIM/Camera/green.jpg", picture(QColor(40, 160, 60)), 1700000010, "Camera"),
        photo("/sdcard/DCIM/Camera/blue.png", picture(QColor(40, 80, 200), "PNG"), 1700000020, "Camera"),
        photo("/sdcard/DCIM/Camera/broken.jpg", "not a picture", 1700000005, "Camera"),
        photo("/sdcard/DCIM/Camera/empty.jpg", QByteArray(), 1700000004, "Camera"),
        photo("/sdcard/Pictures/Beach/sand_and_sea_at_noon.jpg", picture(QColor(220, 180, 60)), 1700000050, "Beach"),
        photo("/sdcard/Pictures/Beach/waves.jpg", picture(QColor(30, 150, 190)), 1700000040, "Beach")};
}

// Whether the cell shows a thumbnail (not the empty photo), once the
// pictures asked for are made.
bool showsThumbnail(const ItemModelPhotoIcon& model, int row)
{
    static const QImage empty = [] {
        ItemModelPhotoIcon none;
        none.setCells({{PhotoRecord(), QString()}});
        return none.index(0, 0).data(Qt::DecorationRole).value<QImage>();
    }();
    model.index(row, 0).data(Qt::DecorationRole); // asks for it
    if (!QTest::qWaitFor([&model] { return model.pictureLoader()->pending() == 0; }, testsupport::kHangGuardMs))
        return false;
    const QImage shown = model.index(row, 0).data(Qt::DecorationRole).value<QImage>();
    return !shown.isNull() && shown != empty;
}

} // namespace

class TestPhotosPage : public testsupport::PageTest {
    Q_OBJECT

    using Page = PhotosMainForm;

private Q_SLOTS:
    void initTestCase()
    {
        PageTest::initTestCase();
        // The page keeps its thumbnail connection while other sessions open.
        simpleprotocol::setLocalPortProvider([] {
            QTcpServer probe;
            probe.listen(QHostAddress::LocalHost, 0);
            return int(probe.serverPort());
        });
    }

    // Albums by name, all items newest first; thumbnails arrive while the
    // page is in use and redraw their cells, a picture that does not decode
    // and an empty file keep the empty photo. Transfer to the other phone
    // (the virtual device is never a target) and Import work beside the
    // thumbnail connection; every thumbnail run of the page uses that one
    // connection and none says "$bye:". A phone without photos shows none.
    void phone_albumsGridThumbnails_transferAndImport()
    {
        const QList<MediaFile> files = phonePhotos();
        auto phone = mediapage::startPhone(135, 10, files);
        auto target = mediapage::startPhone(136, 10, {});
        QVERIFY2(phone->ok() && target->ok(), qPrintable(phone->error + target->error));
        ScriptedPrompt prompt;
        auto* node = addPhone(*phone);
        QCOMPARE(Page(15, addPhone(*target), devicesRoot()).gridModel()->rowCount(), 0);
        addVirtualDevice("Old phone");
        Page page(15, node, devicesRoot());
        checkModel(page.gridModel());
        checkModel(page.albumModel());
        QCOMPARE(column(*page.albumModel(), 0), QStringList({"Beach", "Camera"}));
        QCOMPARE(column(*page.gridModel(), 0),
                 QStringList({"sand_and_sea_at...", "waves.jpg", "red.jpg", "blue.png", "green.jpg", "broken.jpg",
                              "empty.jpg"}));
        QCOMPARE(page.countLabel()->text(), "Total:7");
        QSignalSpy redrawn(page.gridModel(), &QAbstractItemModel::dataChanged);
        QTRY_VERIFY_WITH_TIMEOUT(redrawn.size() >= 5, testsupport::kHangGuardMs);
        for (int row : {0, 1, 2, 3, 4})
            QVERIFY2(showsThumbnail(*page.gridModel(), row), qPrintable(QString::number(row)));
        QVERIFY(page.thumbnailWorker()->waitIdle(testsupport::kHangGuardMs));
        QVERIFY(!showsThumbnail(*page.gridModel(), 5) && !showsThumbnail(*page.gridModel(), 6));
        selectRows(page.gridView(), {2});
        QVERIFY(mediapage::screenshot(page, QSize(954, 640), "photos_page"));

        selectRows(page.albumView(), {1}); // Camera
        QCOMPARE(page.countLabel()->text(), "Total:5");
        QCOMPARE(column(*page.gridModel(), 0).first(), "red.jpg");
        QVERIFY(page.thumbnailWorker()->waitIdle(testsupport::kHangGuardMs)); // a run cut short mid-request reconnects
        QCOMPARE(page.source().transferTargets().size(), 1);
        selectRows(page.albumView(), {0}); // Beach
        prompt.answerDeviceChoice(target->device.deviceId());
        prompt.answerMessage(QMessageBox::Ok, "Successfully transferred 2 Photos.");
        CHECKED(triggerMenuAction(page, "Transfer Android Photos in Album to other Android", 1)); // the albums' menu
        VERIFY_SCRIPT_DONE(prompt);
        QByteArray stored;
        QVERIFY(target->sim->files().read("/sdcard/Pictures/Beach/waves.jpg", &stored) && stored == files.at(6).data);
        QVERIFY(target->sim->files().contains("/sdcard/Pictures/Beach/sand_and_sea_at_noon.jpg"));

        // Import sends the chosen files and loads the page again.
        const QString base = testsupport::makeTempDir("import");
        QVERIFY(writeFile(base + "/new.jpg", picture(Qt::magenta))
                && writeFile(base + "/b.png", picture(Qt::cyan, "PNG")));
        prompt.answerOpenFiles({base + "/new.jpg", base + "/b.png"});
        prompt.answerMessage(QMessageBox::Ok, "Successfully transferred 2 Photos to Android.");
        CHECKED(triggerAction(page, "Import Photos"));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(page.countLabel()->text(), "Total:9");
        QVERIFY(column(*page.albumModel(), 0).contains("Pictures"));
        QVERIFY(page.thumbnailWorker()->waitIdle(testsupport::kHangGuardMs));

        QList<phonesim::ConnectionLog> thumbs = phone->sim->connections("service");
        thumbs.removeIf([](const phonesim::ConnectionLog& c) { return c.service != "image-thumbnails"; });
        QCOMPARE(thumbs.size(), 1);
        QVERIFY(!thumbs.first().finished && !thumbs.first().linesIn.contains("$bye:"));
    }

    // A virtual device: albums from its folders (one without pictures), a
    // capital extension, thumbnails made beside the pictures, a picture that
    // does not decode shown empty; Extract copies the picture itself, not
    // its thumbnail; Import and Transfer are off.
    void virtualDevice_foldersThumbnailsAndExtract()
    {
        QString device;
        auto* node = addVirtualDevice("Archive", &device);
        const QString trip = device + "/photos/Trip";
        QVERIFY(QDir().mkpath(trip) && QDir().mkpath(device + "/photos/Empty"));
        const QByteArray a = picture(Qt::darkGreen);
        QVERIFY(writeFile(trip + "/a.jpg", a) && writeFile(trip + "/B.JPG", picture(Qt::darkRed)));
        QVERIFY(writeFile(trip + "/bad.jpg", "no picture") && writeFile(trip + "/notes.txt", "not listed"));
        ScriptedPrompt prompt;
        Page page(15, node, devicesRoot());
        QCOMPARE(page.albumModel()->rowCount(), 2);
        QStringList shown = column(*page.gridModel(), 0);
        QVERIFY(QFile::exists(trip + "/a.thm") && QFile::exists(trip + "/B.thm") && !QFile::exists(trip + "/bad.thm"));
        QVERIFY(!showsThumbnail(*page.gridModel(), int(shown.indexOf("bad"))));
        QVERIFY(showsThumbnail(*page.gridModel(), int(shown.indexOf("a"))));
        shown.sort();
        QCOMPARE(shown, QStringList({"B", "a", "bad"}));
        QCOMPARE(enabledStates(page.createToolbarActions()), (QList<bool> {false, true, false}));

        const QString out = testsupport::makeTempDir("virtual-extract");
        selectRows(page.gridView(), {int(column(*page.gridModel(), 0).indexOf("a"))});
        prompt.answerDirectory(out);
        prompt.answerMessage(QMessageBox::Ok, "Successfully extracted 1 files.");
        CHECKED(triggerAction(page, "Extract Photos"));
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(testsupport::filesBelow(out), QStringList {"a.jpg"});
        QVERIFY(testsupport::readFile(out + "/a.jpg") == a);
    }

    // A virtual device's pictures and thumbnail files are read by the
    // picture reader: a thumbnail made of a turned photo is upright, a cell
    // shows the empty photo until its thumbnail is made on a worker, and a
    // scan bomb, as a picture or as a thumbnail file, is never decoded.
    void virtualDevice_picturesReadOffTheWindowsThread_hostileOnesNeverDecoded()
    {
        QString device;
        auto* node = addVirtualDevice("Archive", &device);
        const QString trip = device + "/photos/Trip";
        const QByteArray turned
            = testpictures::withOrientation(testpictures::encoded(testpictures::filled(160, 80, Qt::red), "JPG"), 6);
        QVERIFY(QDir().mkpath(trip) && writeFile(trip + "/turned.jpg", turned)
                && writeFile(trip + "/scans.jpg", testpictures::scanBomb())
                && writeFile(trip + "/given.jpg", picture(Qt::darkGreen))
                && writeFile(trip + "/given.thm", testpictures::scanBomb()));
        testsupport::DecodeWatch decodes;
        ScriptedPrompt prompt;
        Page page(15, node, devicesRoot());
        QVERIFY(!QFile::exists(trip + "/scans.thm"));
        const QImage made(trip + "/turned.thm", "JPEG");
        QVERIFY(testpictures::shows(made, Qt::red, QPoint(64, 10))
                && testpictures::shows(made, Qt::white, QPoint(10, 64)));
        const QStringList shown = column(*page.gridModel(), 0);
        const QModelIndex cell = page.gridModel()->index(int(shown.indexOf("turned")), 0);
        const QImage empty = cell.data(Qt::DecorationRole).value<QImage>();
        QVERIFY(showsThumbnail(*page.gridModel(), cell.row())
                && cell.data(Qt::DecorationRole).value<QImage>() != empty);
        QVERIFY(!showsThumbnail(*page.gridModel(), int(shown.indexOf("given"))));
        QCOMPARE(decodes.count(), 2); // the turned picture, then its thumbnail
        QCOMPARE(decodes.onWindowThread(), 0);
        VERIFY_SCRIPT_DONE(prompt);
    }

    // A Cancel pressed as a virtual device's picture begins to decode
    // (seconds of scans) reaches and stops that decode: its thumbnail is
    // not made.
    void virtualDevice_cancelStopsThePictureUnderWay()
    {
        QString device;
        auto* node = addVirtualDevice("Archive", &device);
        const QString trip = device + "/photos/Trip";
        QVERIFY(QDir().mkpath(trip) && writeFile(trip + "/heavy.jpg", testpictures::greyScans(8192, 8192, 50)));
        decodewatch::watch(false, [] {
            QMetaObject::invokeMethod(qApp, [] {
                for (QWidget* w : QApplication::topLevelWidgets()) {
                    if (auto* progress = qobject_cast<ProgressForm*>(w))
                        progress->reject();
                }
            });
        });
        const auto unwatch = qScopeGuard([] { decodewatch::unwatch(); });
        ScriptedPrompt prompt;
        Page page(15, node, devicesRoot());
        QCOMPARE(decodewatch::decodes().began.load(), 1);
        QCOMPARE(decodewatch::decodes().stopped.load(), 1); // the decode heard it
        QVERIFY(!QFile::exists(trip + "/heavy.thm"));
        VERIFY_SCRIPT_DONE(prompt);
    }

    // An album and a picture whose names look like markup show as written in
    // the album's title, the album list's and the grid's tool tips.
    void markup_showsAsWrittenInTitleAndToolTips()
    {
        QString device;
        auto* node = addVirtualDevice("Archive", &device);
        const QString album = "<i>Trip <img src=x.png>";
        const QString photo = device + "/photos/" + album + "/<b>a<b>.jpg";
        QVERIFY(QDir().mkpath(device + "/photos/" + album) && writeFile(photo, picture(Qt::darkGreen)));
        ScriptedPrompt prompt;
        Page page(15, node, devicesRoot());
        QCOMPARE(shownToolTips(*page.albumModel(), 0), QStringList {album});
        selectRows(page.albumView(), {0});
        QCOMPARE(page.titleLabel()->text(), album);
        QCOMPARE(page.titleLabel()->textFormat(), Qt::PlainText);
        const QString tip = shownText(page.gridModel()->index(0, 0).data(Qt::ToolTipRole).toString());
        QVERIFY2(tip.startsWith("Name:<b>a<b>\nDate:") && tip.endsWith("\nPath:" + photo), qPrintable(tip));
        VERIFY_SCRIPT_DONE(prompt);
    }

    // An album of 50,000 items on a phone that stalls on the first
    // thumbnail: the page shows them all and switches albums while the
    // worker waits, without waiting for the phone. The videos page of the
    // same phone lists its videos.
    void largeAlbum_slowThumbnails_pageStaysResponsive()
    {
        QJsonArray images;
        for (int i = 0; i < 50000; ++i)
            images.append(QJsonObject {{"path", QStringLiteral("/sdcard/DCIM/Big/%1.jpg").arg(i)},
                                       {"bucket", "Big"},
                                       {"date", 1600000000 + i}});
        // The newest, asked for first, has a thumbnail: the phone stalls as
        // it begins to send it (the others it has none of would end their
        // requests with an error).
        QJsonObject newest = images.last().toObject();
        newest.insert("thumb", QString::fromLatin1(picture(Qt::red).toBase64()));
        images.replace(images.size() - 1, newest);
        const QJsonObject clip {{"path", "/sdcard/Movies/clip.mp4"}, {"bucket", "Movies"}};
        testsupport::SimPhone phone("127.0.137.10",
                                    {{"media", QJsonObject {{"images", images}, {"videos", QJsonArray {clip}}}},
                                     {"batchSize", 1000},
                                     {"device", testsupport::defaultDevice()}});
        QVERIFY2(phone.ok(), qPrintable(phone.error));
        // Steps: 1 ready, 2 the answer to the first request.
        phone.sim->addFault(phonesim::Fault(phonesim::Fault::Kind::StallAt, "image-thumbnails", 2));
        ScriptedPrompt prompt;
        auto* node = addPhone(phone);
        Page page(15, node, devicesRoot());
        QCOMPARE(page.gridModel()->rowCount(), 50000);
        QCOMPARE(column(*page.gridModel(), 0).first(), "49999.jpg");
        QTRY_VERIFY_WITH_TIMEOUT(!phone.sim->linesReceived("image-thumbnails").isEmpty(), testsupport::kHangGuardMs);
        QVERIFY(!page.thumbnailWorker()->waitIdle(0)); // the worker waits for the phone
        {
            // The worker waits for the phone without a time limit: the switch
            // must stop it, not wait for it.
            const testsupport::HangGuard guard([&] { phone.sim->releaseStalls(); });
            selectRows(page.albumView(), {0});
            QCoreApplication::processEvents();
            QVERIFY2(!guard.fired(), "switching albums waited for the stalled phone");
        }
        QCOMPARE(page.countLabel()->text(), "Total:50000");
        QCOMPARE(column(*Page(16, node, devicesRoot()).gridModel(), 0), QStringList {"clip.mp4"});
        phone.sim->releaseStalls();
    }
};

QTEST_MAIN(TestPhotosPage)
#include "test_photospage.moc"
