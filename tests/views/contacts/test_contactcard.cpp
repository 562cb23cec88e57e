// The contact card and the list model on their own, and the contacts page
// over a backup folder of awkward contacts: no name row, hundreds of
// numbers, a 10 MB photo, photo bytes that are no picture, a name of 10,000
// characters. Everything shows, quickly, without markup of the phone's.
#include "views/contacts/contactdisplayer.h"
#include "views/contacts/contactsmainform.h"

#include "records/localcontactsdb.h"
#include "shell/mytreeview.h"
#include "shell/scriptedprompt.h"

#include "contactrows.h"
#include "pagetest.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QtTest>

namespace {

using contacttest::encoded;
using contacttest::row;

pim::_Contact named(const QString& name)
{
    pim::_Contact c(0, QString(), name);
    c.entities[pim::ENTITY_NAME] << row({{2, name}});
    return c;
}

// A JPEG of 6000 x 4000 pixels padded to 10 MB (the bytes after its end
// marker are ignored by readers, as in files some cameras write).
QByteArray bigPhoto()
{
    QImage image(6000, 4000, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(image.rect(), QColor(200, 90, 40));
    painter.fillRect(QRect(0, 0, 3000, 2000), QColor(40, 90, 200));
    painter.end();
    QByteArray bytes = encoded(image, "JPEG");
    bytes.append(QByteArray(10 * 1024 * 1024 - bytes.size(), 'x'));
    return bytes;
}

QStringList labelTexts(const ContactDisplayer& card)
{
    QStringList out;
    for (const QLabel* label : card.widget()->findChildren<QLabel*>())
        if (!label->text().isEmpty())
            out << label->text();
    return out;
}

QLabel* photoLabel(const ContactDisplayer& card)
{
    for (QLabel* label : card.widget()->findChildren<QLabel*>())
        if (label->accessibleName() == QLatin1String("imgPhoto"))
            return label;
    return nullptr;
}

} // namespace

class TestContactCard : public testsupport::PageTest {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { initPageTests(); }
    void cleanup() { cleanupPage(); }

    void card_header_nicknameAndFirstOrganisation_onlyTheirSections()
    {
        ContactDisplayer card;
        QVERIFY(card.widget()->findChildren<QLabel*>().isEmpty());

        pim::_Contact c = named(QStringLiteral("Ann Lee"));
        card.setContact(c);
        QCOMPARE(labelTexts(card), QStringList {QStringLiteral("Ann Lee")});
        QVERIFY(!photoLabel(card)->pixmap().isNull()); // the empty contact picture
        QCOMPARE(photoLabel(card)->cursor().shape(), Qt::ArrowCursor);

        // An empty nickname adds nothing; a department without a title
        // follows the name on its line.
        c.entities[pim::ENTITY_NICKNAME] << row({{1, QString()}});
        c.entities[pim::ENTITY_ORGANIZATION] << row({{1, QStringLiteral("Acme")}, {5, QStringLiteral("Rockets")}})
                                             << row({{1, QStringLiteral("Beta")}, {2, 1}})
                                             << row({{4, QStringLiteral("Boss")}, {2, 0}});
        card.setContact(c);
        QCOMPARE(labelTexts(card),
                 QStringLiteral("Ann Lee - Rockets\nAcme|Organization:|Work:Beta|Other:Boss").split(u'|'));
        c.entities[pim::ENTITY_NICKNAME][0] = row({{1, QStringLiteral("Annie")}});
        c.entities[pim::ENTITY_NOTE] << row({{1, QStringLiteral("note")}});
        c.entities[pim::ENTITY_PHONE] << row({{1, QStringLiteral("123")}});
        card.setContact(c);
        const QStringList texts = labelTexts(card);
        QCOMPARE(texts.first(), QStringLiteral("Ann Lee\n\"Annie\" - Rockets\nAcme"));
        QCOMPARE(texts.at(1), QStringLiteral("Phone:"));
        QCOMPARE(texts.at(2), QStringLiteral("Other:123"));
        QCOMPARE(texts.last(), QStringLiteral("note"));

        card.clear();
        QVERIFY(card.widget()->findChildren<QLabel*>().isEmpty());
        QVERIFY(card.contact().fullName.isEmpty());
    }

    // A click on a real photo saves its bytes as they are, under a name made
    // from the contact's; other buttons and the empty picture do nothing.
    void card_photoClick_savesTheBytesUnchanged()
    {
        ScriptedPrompt prompt;
        ContactDisplayer card;
        card.resize(400, 500);
        card.show();
        QVERIFY(QTest::qWaitForWindowExposed(&card));
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(Qt::darkGreen);
        const QByteArray png = encoded(image, "PNG");
        pim::_Contact c = named(QStringLiteral("Ann/Lee"));
        c.entities[pim::ENTITY_PHOTO] << row({{15, png}});
        card.setContact(c);
        QLabel* photo = photoLabel(card);
        QCOMPARE(photo->cursor().shape(), Qt::PointingHandCursor);

        QTest::mouseClick(photo, Qt::RightButton);
        const QString target = testsupport::makeTempDir(QStringLiteral("photo")) + QStringLiteral("/ann.jpg");
        prompt.answerSaveFile(target);
        QTest::mouseClick(photo, Qt::LeftButton);
        VERIFY_SCRIPT_DONE(prompt);
        QCOMPARE(prompt.questions().size(), 1);
        QCOMPARE(prompt.questions().first().dir, QDir::home().absoluteFilePath(QStringLiteral("AnnLee.jpg")));
        QFile saved(target);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), png);

        // A folder cannot be written as a file: a warning, nothing else.
        prompt.answerSaveFile(testsupport::makeTempDir(QStringLiteral("folder")));
        prompt.answerMessage(QMessageBox::Ok);
        QTest::mouseClick(photo, Qt::LeftButton);
        VERIFY_SCRIPT_DONE(prompt);

        // Bytes that are no picture: the empty picture, not clickable.
        c.entities[pim::ENTITY_PHOTO][0] = row({{15, QByteArray("\xff\xd8 not really")}});
        card.setContact(c);
        QCOMPARE(photoLabel(card)->cursor().shape(), Qt::ArrowCursor);
        QTest::mouseClick(photoLabel(card), Qt::LeftButton);
        VERIFY_SCRIPT_DONE(prompt);
    }

    void model_addContact_appendsARow_listUnchanged()
    {
        ItemModelContacts model;
        checkModel(&model);
        model.setContacts({});
        QCOMPARE(model.rowCount(), 0);
        model.setContacts({named(QStringLiteral("bob")), named(QStringLiteral("Alice"))});
        ItemModelContacts::_ContactsItemNode* node = model.addContact(named(QStringLiteral("Aaron")));
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.indexOfNode(node).row(), 2);
        QCOMPARE(model.contacts().size(), 2);
        QCOMPARE(model.index(0, 0).data(Qt::BackgroundRole).value<QBrush>().color(), QColor(250, 250, 250));
        QCOMPARE(model.index(1, 3).data(Qt::BackgroundRole).value<QBrush>().color(), QColor(255, 255, 255));
        QCOMPARE(model.index(1, 2).data(Qt::SizeHintRole).toSize(), QSize(0, 25));
        QCOMPARE(model.index(0, 0).data(Qt::DecorationRole).value<QPixmap>().width(), 18);
    }

    // The page over a backup of awkward contacts opens, lists and shows
    // each of them quickly.
    void badInput_isShownWithoutDelay()
    {
        _LocalDbItemNode* folder = addBackup(QStringLiteral("Odd"));
        {
            LocalContactsDb db(folder->dir.absoluteFilePath(QStringLiteral("contacts.db")),
                               QSharedPointer<AbsContactCombineRule>(new LocalDbCombineRule));
            db.beginTran();
            pim::_Contact nameless(0, QString(), QString());
            db.insertContact(nameless);
            ContactDataRow phone = row({{1, QStringLiteral("+1 000")}, {2, 2}});
            db.insertData(nameless.id, pim::ENTITY_PHONE, phone);

            pim::_Contact many(0, QString(), QStringLiteral("Many numbers"));
            db.insertContact(many);
            for (int i = 0; i < 500; ++i) {
                ContactDataRow r = row({{1, QStringLiteral("+49 %1").arg(i)}, {2, i % 3}});
                db.insertData(many.id, pim::ENTITY_PHONE, r);
            }
            pim::_Contact big(0, QString(), QStringLiteral("Big photo"));
            db.insertContact(big);
            ContactDataRow bigRow = row({{15, bigPhoto()}});
            db.insertData(big.id, pim::ENTITY_PHOTO, bigRow);

            QByteArray noise(10 * 1024 * 1024, '\0');
            QRandomGenerator rng(17);
            rng.fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
            pim::_Contact broken(0, QString(), QStringLiteral("Broken photo"));
            db.insertContact(broken);
            ContactDataRow brokenRow = row({{15, noise}});
            db.insertData(broken.id, pim::ENTITY_PHOTO, brokenRow);

            pim::_Contact longName(0, QString(), QString(10000, u'W'));
            db.insertContact(longName);
            ContactDataRow longRow = row({{1, QString(10000, u'n')}});
            db.insertData(longName.id, pim::ENTITY_NOTE, longRow);
            db.endTran(true);
        }

        ScriptedPrompt prompt;
        QElapsedTimer timer;
        timer.start();
        ContactsMainForm page(folder, devicesRoot());
        page.resize(1000, 600);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QCOMPARE(page.contactModel()->rowCount(), 5);
        qint64 slowest = timer.restart();
        const ContactDisplayer& card = *page.card();
        for (int r = 0; r < 5; ++r) {
            page.listView()->setCurrentIndex(page.contactModel()->index(r, 0));
            QCoreApplication::processEvents();
            QVERIFY(page.grab().width() > 0);
            slowest = std::max(slowest, timer.restart());
            // The card fits the page's width, whatever the name's length.
            QVERIFY(card.widget()->width() <= card.viewport()->width());
        }
        VERIFY_SCRIPT_DONE(prompt);
        QVERIFY2(slowest < 2000, qPrintable(QString::number(slowest)));

        // The list's rows: the nameless contact first, its number shown.
        QCOMPARE(page.contactModel()->index(0, 1).data().toString(), QStringLiteral("+1 000"));
        page.listView()->setCurrentIndex(page.contactModel()->index(3, 0)); // "Many numbers"
        QCOMPARE(card.contact().rows(pim::ENTITY_PHONE).size(), 500);
        QCOMPARE(labelTexts(card).size(), 502);
        QCoreApplication::processEvents();
        // The card scrolls instead of squeezing its rows.
        QVERIFY(card.verticalScrollBar()->maximum() > 500 * 10);
    }
};

QTEST_MAIN(TestContactCard)
#include "test_contactcard.moc"
