// The photos and videos page end to end against simulated phones: albums
// and the grid filled from the phone, thumbnails arriving in the background
// over one connection that every run of the page uses, Extract, Transfer to
// a second phone and Import; a virtual device's folders with the thumbnails
// made beside their pictures; pictures that do not decode, empty files and
// an album of 50,000 items; and a screenshot.
#include "views/media/itemmodelbucket.h"
#include "views/media/itemmodelphotoicon.h"
#include "views/media/photosmainform.h"

#include "phonelink/androidloadthumbnailsthread.h"
#include "phonelink/protocol/simpleprotocol.h"
#include "shell/mylistview.h"
#include "shell/scriptedprompt.h"

#include "mediafixture.h"
#include "pagetest.h"

#include <QAction>
#include <QBuffer>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QTcpServer>
#include <QtTest>

using mediatest::MediaFile;

namespace {

// A small picture: a colour with a lighter disc in it.
QByteArray picture(const QColor& color, const char* format = "JPEG", QSize size = QSize(160, 120))
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(color.lighter(160));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QRect(QPoint(size.width() / 4, size.height() / 5), size * 0.5));
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

bool writeFile(const QString& path, const QByteArray& data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

// Camera: three pictures, one that does not decode and an empty one;
// Beach: two. Dates give the order newest first.
QList<MediaFile> phonePhotos()
{
    const QString camera = QStringLiteral("Camera");
    const QString beach = QStringLiteral("Beach");
    return {
        {QStringLiteral("images"), QStringLiteral("/sdcard/DCIM/Camera/red.jpg"), picture(QColor(200, 40, 40)),
         1700000030, camera},
        {QStringLiteral("images"), QStringLiteral("/sdcard/DCIM/Camera/green.jpg"), picture(QColor(40, 160, 60)),
         1700000010, camera},
        {QStringLiteral("images"), QStringLiteral("/sdcard/DCIM/Camera/blue.png"), picture(QColor(40, 80, 200), "PNG"),
         1700000020, camera},
        {QStringLiteral("images"), QStringLiteral("/sdcard/DCIM/Camera/broken.jpg"), "not a picture", 1700000005,
         camera},
        {QStringLiteral("images"), QStringLiteral("/sdcard/DCIM/Camera/empty.jpg"), QByteArray(), 1700000004, camera},
        {QStringLiteral("images"), QStringLiteral("/sdcard/Pictures/Beach/sand_and_sea_at_noon.jpg"),
         picture(QColor(220, 180, 60)), 1700000050, beach},
        {QStringLiteral("images"), QStringLiteral("/sdcard/Pictures/Beach/waves.jpg"), picture(QColor(30, 150, 190)),
         1700000040, beach},
    };
}

QStringList names(const QList<PhotoRecord>& records)
{
    QStringList out;
    for (const PhotoRecord& r : records)
        out << r.name;
    return out;
}

// Whether the cell shows a thumbnail (not the empty photo).
bool showsThumbnail(const ItemModelPhotoIcon& model, int row)
{
    static const QImage empty = [] {
        ItemModelPhotoIcon none;
        none.setCells({{PhotoRecord(), QString()}});
        return none.index(0, 0).data(Qt::DecorationRole).value<QImage>();
    }();
    const QImage shown = model.index(row, 0).data(Qt::DecorationRole).value<QImage>();
    return !shown.isNull() && shown != empty;
}

} // namespace

class TestPhotosPage : public testsupport::PageTest {
    Q_OBJECT

    using Page = PhotosMainForm;

    std::unique_ptr<testsupport::SimPhone> startPhone(const QList<MediaFile>& files, const QString& net = "135",
                                                      QJsonObject options = {})
    {
        QJsonObject device = testsupport::defaultDevice();
        device.insert(QStringLiteral("uid"), QStringLiteral("uid-%1-%2").arg(net).arg(m_next));
        options.insert(QStringLiteral("device"), device);
        testsupport::SimPhone::Options o;
        o.address = QStringLiteral("127.0.%1.%2").arg(net).arg(m_next++);
        o.fixture = mediatest::fixture(files, options);
        return std::make_unique<testsupport::SimPhone>(o);
    }

    int m_next = 10;

private Q_SLOTS:
    void initTestCase()
    {
        initPageTests();
        // The page keeps its thumbnail connection while other sessions open.
        simpleprotocol::setLocalPortProvider([] {
            QTcpServer probe;
            probe.listen(QHostAddress::LocalHost, 0);
            return int(probe.serverPort());
        });
    }
    void cleanup() { cleanupPage(); }

    void models_namesTooltipsAndRows()
    {
        ItemModelPhotoIcon grid;
        checkModel(&grid);
        PhotoRecord exact;
        exact.name = QStringLiteral("fifteen-chars-x");
        exact.path = QStringLiteral("/sdcard/a.jpg");
        exact.date = QDateTime(QDate(2020, 1, 2), QTime(3, 4));
        PhotoRecord longer = exact;
        longer.name = QStringLiteral("sixteen-chars-xy");
        grid.setCells({{exact, QString()}, {longer, QStringLiteral("/nowhere/thumb")}});
        QCOMPARE(column(grid, 0), QStringLiteral("fifteen-chars-x|sixteen-chars-x...").split(u'|'));
        QCOMPARE(grid.index(0, 0).data(Qt::ToolTipRole).toString(),
                 QStringLiteral("Name:fifteen-chars-x\nDate:%1\nPath:/sdcard/a.jpg")
                     .arg(QLocale::system().toString(exact.date, QLocale::ShortFormat)));
        QCOMPARE(grid.index(1, 0).data(Qt::DecorationRole).value<QImage>().size(), QSize(128, 128));
        QVERIFY(!grid.headerData(0, Qt::Horizontal).isValid());
        QSignalSpy changed(&grid, &QAbstractItemModel::dataChanged);
        grid.updateThumbnail(-1);
        grid.updateThumbnail(2);
        grid.updateThumbnail(1);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.first().first().toModelIndex().row(), 1);

        ItemModelBucket albums;
        checkModel(&albums);
        albums.setBuckets({PhotoBucket(1, QStringLiteral("A")), PhotoBucket(2, QStringLiteral("B"))});
        QCOMPARE(albums.index(1, 0).data(Qt::ToolTipRole).toString(), QStringLiteral("B"));
        QCOMPARE(albums.index(1, 0).data(Qt::BackgroundRole).value<QColor>(), QColor(242, 246, 249));
        QCOMPARE(albums.index(0, 0).data(Qt::SizeHintRole).toSize(), QSize(0, 28));
    }

    // Albums by name, all items newest first; thumbnails arrive while the
    // page is in use and redraw their cells; choosing an album starts the
    // next run on the same connection; no run says "$bye:".
    void phone_albumsGridAndThumbnailsOverOneConnection()
    {
        auto phone = startPhone(phonePhotos());
        QVERIFY2(phone->ok(), qPrintable(phone->error));
        ScriptedPrompt prompt;
        Page page(15, addPhone(*phone), devicesRoot());
        checkModel(page.gridModel());
        checkModel(page.albumModel());
        QCOMPARE(column(*page.albumModel(), 0), QStringLiteral("Beach|Camera").split(u'|'));
        QCOMPARE(
            column(*page.gridModel(), 0),
            QStringLiteral("sand_and_sea_at...|waves.jpg|red.jpg|blue.png|green.jpg|broken.jpg|empty.jpg").split(u'|'));
        QCOMPARE(page.titleLabel()->text(), QStringLiteral("All Photos"));
        QCOMPARE(page.countLabel()->text(), QStringLiteral("Total:7"));

        QSignalSpy redrawn(page.gridModel(), &QAbstractItemModel::dataChanged);
        QTRY_VERIFY_WITH_TIMEOUT(redrawn.size() >= 5, 10000);
        for (int row : {0, 1, 2, 3, 4})
            QVERIFY2(showsThumbnail(*page.gridModel(), row), qPrintable(QString::number(row)));
        // The one that does not decode and the empty one keep the empty photo.
        QVERIFY(page.thumbnailWorker()->waitIdle(5000));
        QVERIFY(!showsThumbnail(*page.gridModel(), 5) && !showsThumbnail(*page.gridModel(), 6));

        selectRows(page.albumView(), {1});
        QCOMPARE(page.titleLabel()->text(), QStringLiteral("Camera"));
        QCOMPARE(page.countLabel()->text(), QStringLiteral("Total:5"));
        QCOMPARE(column(*page.gridModel(), 0).first(), QStringLiteral("red.jpg"));
        QVERIFY(page.thumbnailWorker()->waitIdle(5000));
        // Deselecting leaves the album shown.
        page.albumView()->selectionModel()->clearSelection();
        QCOMPARE(page.countLabel()->text(), QStringLiteral("Total:5"));

        const QList<phonesim::ConnectionLog> thumbs = [&] {
            QList<phonesim::ConnectionLog> out;
            for (const phonesim::ConnectionLog& c : phone->sim->connections(QStringLiteral("service")))
                if (c.service == QLatin1String("image-thumbnails"))
                    out << c;
            return out;
        }();
        QCOMPARE(thumbs.size(), 1);
        QVERIFY(!thumbs.first().finished);
        // The first run asked for all seven, the second for the two without
        // a thumbnail; no run said goodbye.
        const QList<QByteArray> lines = thumbs.first().linesIn;
        QCOMPARE(std::count_if(lines.begin(), lines.end(), [](const QByteArray& l) { return l.startsWith("$dload:"); }),
                 9);
        QVERIFY(!lines.contains("$bye:"));
        VERIFY_SCRIPT_DONE(prompt);
    }

    // A phone that is slow to send thumbnails holds nothing up: the page is
    // made and switches albums at once, the thumbnails come later.
    void phone_slowThumbnails_pageStaysResponsive()
    {
        auto phone = startPhone(phonePhotos());
        QVERIFY2(phone->ok(), qPrintable(phone->error));
        // Steps: 1 ready, 2 the answer to the first request.
        phone->sim->addFault(phonesim::Fault(phonesim::Fault::Kind::StallAt, QStringLiteral("image-thumbnails"), 2));
        ScriptedPrompt prompt;
        Page page(15, addPhone(*phone), devicesRoot());
        QTRY_VERIFY(!phone->sim->linesReceived(QStringLiteral("image-thumbnails")).isEmpty());
        QVERIFY(!showsThumbnail(*page.gridModel(), 0));
        QElapsedTimer timer;
        timer.start();
        selectRows(page.albumView(), {0});
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(page.countLabel()->text(), QStringLiteral("Total:2"));
        phone->sim->releaseStalls();
        QTRY_VERIFY(showsThumbnail(*page.gridModel(), 0) && showsThumbnail(*page.gridModel(), 1));
    }

    // Extract downloads the chosen items into a folder it makes; double-click
    // extracts one.
    void phone_extractSelected()
    {
        const QList<MediaFile> files = phonePhotos();
        auto phone = startPhone(files);
        QVERIFY2(phone->ok(), qPrintable(phone->error));
        const QString folder = testsupport::makeTempDir(QStringLiteral("extract")) + QStringLiteral("/new/sub");
        ScriptedPrompt prompt;
        Page page(15, addPhone(*phone), devicesRoot());
        selectRows(page.gridView(), {2, 6});
        QCOMPARE(names(page.selectedItems()), QStringLiteral("red.jpg|empty.jpg").split(u'|'));
        prompt.answerDirectory(folder);
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully extracted 2 files."));
        page.miSelExport();
        QCOMPARE(testsupport::filesBelow(folder), QStringLiteral("empty.jpg|red.jpg").split(u'|'));
        QVERIFY(testsupport::readFile(folder + QStringLiteral("/red.jpg")) == files.at(0).data);
        prompt.answerDirectory(folder);
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully extracted 1 files."));
        page.dbClicked(page.gridModel()->index(1, 0));
        QVERIFY(testsupport::readFile(folder + QStringLiteral("/waves.jpg")) == files.at(6).data);
        VERIFY_SCRIPT_DONE(prompt);
    }

    // With one phone the transfer entries are there but disabled; with a
    // second phone (and a virtual device, never a target) the chosen items
    // go to it whole.
    void phone_transferToTheOtherPhone()
    {
        const QList<MediaFile> files = phonePhotos();
        auto phone = startPhone(files);
        auto target = startPhone({}, QStringLiteral("136"));
        QVERIFY2(phone->ok() && target->ok(), qPrintable(phone->error + target->error));
        ScriptedPrompt prompt;
        auto* node = addPhone(*phone);
        addVirtualDevice(QStringLiteral("Old phone"));
        {
            Page alone(15, node, devicesRoot());
            QCOMPARE(
                texts(alone.createToolbarActions()),
                QStringLiteral("Transfer Android Photos to other Android|Extract Photos|Import Photos").split(u'|'));
            QCOMPARE(enabledStates(alone.createToolbarActions()), (QList<bool> {false, true, true}));
        }
        addPhone(*target);
        Page page(15, node, devicesRoot());
        QCOMPARE(enabledStates(page.createToolbarActions()), (QList<bool> {true, true, true}));
        QCOMPARE(page.source().transferTargets().size(), 1);
        selectRows(page.albumView(), {0}); // Beach
        std::unique_ptr<QMenu> menu(page.createContextMenu(1));
        QVERIFY(menu);
        QCOMPARE(texts(menu->actions()),
                 QStringLiteral("Transfer Android Photos in Album to other Android|Extract "
                                "Photos from Album")
                     .split(u'|'));
        prompt.answerDeviceChoice(target->device.deviceId());
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully transferred 2 Photos."));
        page.miBucketA2A();
        QByteArray stored;
        QVERIFY(target->sim->files().read(QStringLiteral("/sdcard/Pictures/Beach/waves.jpg"), &stored));
        QVERIFY(stored == files.at(6).data);
        QVERIFY(target->sim->files().contains(QStringLiteral("/sdcard/Pictures/Beach/sand_and_sea_at_noon.jpg")));
        VERIFY_SCRIPT_DONE(prompt);
    }

    // Import sends the chosen files and loads the page again; a cancelled
    // choice changes nothing, not even the folder the next choice starts in.
    void phone_importThenReload()
    {
        auto phone = startPhone(phonePhotos());
        QVERIFY2(phone->ok(), qPrintable(phone->error));
        const QString base = testsupport::makeTempDir(QStringLiteral("import"));
        QVERIFY(writeFile(base + QStringLiteral("/new.jpg"), picture(Qt::magenta)));
        QVERIFY(writeFile(base + QStringLiteral("/other.png"), picture(Qt::cyan, "PNG")));
        const QString before = QDir::currentPath();
        ScriptedPrompt prompt;
        Page page(15, addPhone(*phone), devicesRoot());
        prompt.answerOpenFiles({});
        page.miImportImage();
        QCOMPARE(QDir::currentPath(), before);
        QCOMPARE(prompt.questions().last().filter, QStringLiteral("Images (*.png *.jpg)"));

        prompt.answerOpenFiles({base + QStringLiteral("/new.jpg"), base + QStringLiteral("/other.png")});
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully transferred 2 Photos to Android."));
        page.miImportImage();
        QCOMPARE(QDir::currentPath(), QDir(base).absolutePath());
        QDir::setCurrent(before);
        QCOMPARE(page.countLabel()->text(), QStringLiteral("Total:9"));
        QVERIFY(column(*page.gridModel(), 0).contains(QStringLiteral("new.jpg")));
        QVERIFY(column(*page.albumModel(), 0).contains(QStringLiteral("Pictures")));
        VERIFY_SCRIPT_DONE(prompt);
    }

    // A virtual device: albums from its folders (one without pictures), a
    // capital extension, thumbnails made beside the pictures once, a picture
    // that does not decode shown empty; Extract copies the picture itself;
    // Import and Transfer are disabled.
    void virtualDevice_foldersThumbnailsAndExtract()
    {
        QString device;
        auto* node = addVirtualDevice(QStringLiteral("Archive"), &device);
        const QString trip = device + QStringLiteral("/photos/Trip");
        QVERIFY(QDir().mkpath(trip) && QDir().mkpath(device + QStringLiteral("/photos/Empty")));
        const QByteArray a = picture(Qt::darkGreen);
        QVERIFY(writeFile(trip + QStringLiteral("/a.jpg"), a));
        QVERIFY(writeFile(trip + QStringLiteral("/B.JPG"), picture(Qt::darkRed)));
        QVERIFY(writeFile(trip + QStringLiteral("/bad.jpg"), "no picture"));
        QVERIFY(writeFile(trip + QStringLiteral("/notes.txt"), "not listed"));
        ScriptedPrompt prompt;
        std::unique_ptr<Page> page = std::make_unique<Page>(15, node, devicesRoot());
        QStringList albums = column(*page->albumModel(), 0);
        albums.sort();
        QCOMPARE(albums, QStringLiteral("Empty|Trip").split(u'|'));
        QStringList shown = column(*page->gridModel(), 0);
        shown.sort();
        QCOMPARE(shown, QStringLiteral("B|a|bad").split(u'|'));
        QVERIFY(QFile::exists(trip + QStringLiteral("/a.thm")) && QFile::exists(trip + QStringLiteral("/B.thm")));
        QVERIFY(!QFile::exists(trip + QStringLiteral("/bad.thm")));
        QCOMPARE(page->countLabel()->text(), QStringLiteral("Total:3"));
        const int badRow = int(column(*page->gridModel(), 0).indexOf(QStringLiteral("bad")));
        const int aRow = int(column(*page->gridModel(), 0).indexOf(QStringLiteral("a")));
        QVERIFY(!showsThumbnail(*page->gridModel(), badRow));
        QVERIFY(showsThumbnail(*page->gridModel(), aRow));
        QCOMPARE(enabledStates(page->createToolbarActions()), (QList<bool> {false, true, false}));
        QVERIFY(!page->thumbnailWorker());

        // Made once: a second visit reuses them.
        const QDateTime made = QFileInfo(trip + QStringLiteral("/a.thm")).lastModified();
        page = std::make_unique<Page>(15, node, devicesRoot());
        QCOMPARE(QFileInfo(trip + QStringLiteral("/a.thm")).lastModified(), made);

        const QString out = testsupport::makeTempDir(QStringLiteral("virtual-extract"));
        selectRows(page->gridView(), {int(column(*page->gridModel(), 0).indexOf(QStringLiteral("a")))});
        prompt.answerDirectory(out);
        prompt.answerMessage(QMessageBox::Ok, QStringLiteral("Successfully extracted 1 files."));
        page->miToolbarExport();
        QCOMPARE(testsupport::filesBelow(out), QStringList {QStringLiteral("a.jpg")});
        QVERIFY(testsupport::readFile(out + QStringLiteral("/a.jpg")) == a);
        VERIFY_SCRIPT_DONE(prompt);
    }

    // A phone without photos, and a videos page.
    void emptyPhone_andVideos()
    {
        auto phone = startPhone({{QStringLiteral("videos"), QStringLiteral("/sdcard/Movies/clip.mp4"), "clip", 5,
                                  QStringLiteral("Movies")}});
        QVERIFY2(phone->ok(), qPrintable(phone->error));
        ScriptedPrompt prompt;
        auto* node = addPhone(*phone);
        Page photos(15, node, devicesRoot());
        QCOMPARE(photos.albumModel()->rowCount(), 0);
        QCOMPARE(photos.gridModel()->rowCount(), 0);
        QCOMPARE(photos.countLabel()->text(), QStringLiteral("Total:0"));
        Page videos(16, node, devicesRoot());
        QCOMPARE(videos.titleLabel()->text(), QStringLiteral("All Videos"));
        QCOMPARE(column(*videos.gridModel(), 0), QStringList {QStringLiteral("clip.mp4")});
        QCOMPARE(texts(videos.createToolbarActions()),
                 QStringLiteral("Transfer Android Videos to other Android|Extract Videos|Import Videos").split(u'|'));
    }

    // An album of 50,000 items: the page shows them all and stays usable.
    void largeAlbum_isShownWhole()
    {
        QJsonArray images;
        for (int i = 0; i < 50000; ++i)
            images.append(QJsonObject {{QStringLiteral("path"), QStringLiteral("/sdcard/DCIM/Big/%1.jpg").arg(i)},
                                       {QStringLiteral("bucket"), QStringLiteral("Big")},
                                       {QStringLiteral("date"), 1600000000 + i}});
        QJsonObject fixture {{QStringLiteral("media"), QJsonObject {{QStringLiteral("images"), images}}},
                             {QStringLiteral("batchSize"), 1000},
                             {QStringLiteral("device"), testsupport::defaultDevice()}};
        testsupport::SimPhone::Options o;
        o.address = QStringLiteral("127.0.137.%1").arg(m_next++);
        o.fixture = fixture;
        testsupport::SimPhone phone(o);
        QVERIFY2(phone.ok(), qPrintable(phone.error));
        ScriptedPrompt prompt;
        QElapsedTimer timer;
        timer.start();
        Page page(15, addPhone(phone), devicesRoot());
        page.resize(954, 640);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QCOMPARE(page.countLabel()->text(), QStringLiteral("Total:50000"));
        QCOMPARE(page.gridModel()->rowCount(), 50000);
        QCOMPARE(column(*page.gridModel(), 0).first(), QStringLiteral("49999.jpg"));
        QVERIFY2(timer.elapsed() < 15000, qPrintable(QString::number(timer.elapsed())));
        // The window answers while the worker asks for thumbnails.
        QElapsedTimer answer;
        answer.start();
        selectRows(page.albumView(), {0});
        QCoreApplication::processEvents();
        QVERIFY2(answer.elapsed() < 2000, qPrintable(QString::number(answer.elapsed())));
    }

    void screenshot()
    {
        auto phone = startPhone(phonePhotos());
        QVERIFY2(phone->ok(), qPrintable(phone->error));
        ScriptedPrompt prompt;
        Page page(15, addPhone(*phone), devicesRoot());
        page.resize(954, 640);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QVERIFY(page.thumbnailWorker()->waitIdle(10000));
        QTRY_VERIFY(showsThumbnail(*page.gridModel(), 4));
        selectRows(page.gridView(), {2});
        QCoreApplication::processEvents();
        QDir().mkpath(testsupport::binaryDir() + QStringLiteral("/screenshots"));
        QVERIFY(page.grab().save(testsupport::binaryDir() + QStringLiteral("/screenshots/photos_page.png")));
    }
};

QTEST_MAIN(TestPhotosPage)
#include "test_photospage.moc"
