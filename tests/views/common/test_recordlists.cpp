// The flat record lists besides their texts (which the page tests check):
// the column titles, the picture in the first column only and the row
// style, the shared one on every list but music's.
#include "views/media/itemmodelmusic.h"
#include "views/media/itemmodelplaylist.h"
#include "views/media/itemmodelrecording.h"
#include "views/organiser/itemmodelcall.h"
#include "views/organiser/itemmodelnotes.h"
#include "views/organiser/itemmodelvoicemail.h"

#include <QBrush>
#include <QColor>
#include <QPixmap>
#include <QtTest>

#include <memory>

using ModelPtr = std::shared_ptr<QAbstractItemModel>;
Q_DECLARE_METATYPE(ModelPtr)

namespace {

// A model of Model with two default records.
template <typename Model, typename... Args>
ModelPtr twoRows(void (Model::*set)(const QList<typename Model::RecordType>&), Args... args)
{
    auto model = std::make_shared<Model>(args...);
    ((*model).*set)({typename Model::RecordType(), typename Model::RecordType()});
    return model;
}

} // namespace

class TestRecordLists : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void lists_showTitlesPictureAndRowStyle_data()
    {
        QTest::addColumn<ModelPtr>("model");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<int>("height");
        QTest::addColumn<QColor>("even");
        QTest::addColumn<QColor>("odd");
        const QColor grey(250, 250, 250);
        const QColor white(255, 255, 255);
        const auto titles = [](const char* joined) { return QString::fromLatin1(joined).split(u'|'); };
        QTest::newRow("calls") << twoRows(&ItemModelCall::setCalls) << titles("Flag|Number|Contact|Date|Duration") << 25
                               << grey << white;
        QTest::newRow("notes") << twoRows(&ItemModelNotes::setNotes) << titles("Modification Date|Title|Summary") << 25
                               << grey << white;
        QTest::newRow("voicemail") << twoRows(&ItemModelVoicemail::setVoicemails) << titles("Name|Date|Sender|Duration")
                                   << 25 << grey << white;
        QTest::newRow("playlists") << twoRows(&ItemModelPlaylist::setPlaylists) << titles("Name|Members") << 25 << grey
                                   << white;
        QTest::newRow("recordings") << twoRows(&ItemModelRecording::setRecordings) << titles("Name|Date|Duration") << 25
                                    << grey << white;
        QTest::newRow("music") << twoRows(&ItemModelMusic::setRecords, 17) << titles("Name|Date modified|Duration|Size")
                               << 28 << white << QColor(242, 246, 249);
    }

    void lists_showTitlesPictureAndRowStyle()
    {
        QFETCH(ModelPtr, model);
        QFETCH(QStringList, titles);
        QFETCH(int, height);
        QFETCH(QColor, even);
        QFETCH(QColor, odd);

        const int columns = int(titles.size());
        QCOMPARE(model->columnCount(), columns);
        for (int s = 0; s < columns; ++s) {
            QCOMPARE(model->headerData(s, Qt::Horizontal).toString(), titles.at(s));
            QVERIFY(!model->headerData(s, Qt::Vertical).isValid());
            QVERIFY(!model->headerData(s, Qt::Horizontal, Qt::ToolTipRole).isValid());
        }
        QVERIFY(!model->headerData(-1, Qt::Horizontal).isValid());
        QVERIFY(!model->headerData(columns, Qt::Horizontal).isValid());

        for (int row = 0; row < 2; ++row) {
            for (int col = 0; col < columns; ++col) {
                const QModelIndex index = model->index(row, col);
                const QVariant picture = index.data(Qt::DecorationRole);
                if (col == 0)
                    QCOMPARE(picture.typeId(), QMetaType::QPixmap);
                else
                    QVERIFY(!picture.isValid());
                QCOMPARE(index.data(Qt::SizeHintRole).toSize(), QSize(0, height));
                QCOMPARE(index.data(Qt::BackgroundRole).value<QBrush>().color(), row % 2 == 0 ? even : odd);
                QVERIFY(!index.data(Qt::EditRole).isValid());
            }
        }
    }
};

QTEST_MAIN(TestRecordLists)
#include "test_recordlists.moc"
