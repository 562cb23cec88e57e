// The music page (node kind 17) and the ringtones page (kind 19) of a
// phone: the songs or ringtones with their count, and Extract (copy to a
// folder on the PC), Import (upload audio files) and Transfer (straight to
// another connected phone). Nothing is deleted from here.
//
// A connected phone's list is read from the phone every time the page is
// made, and again after a successful import; nothing is cached. A virtual
// device's list is its text file "music.txt" or "ringtones.txt" (one
// "title;yyyy-M-d h:m:s;size;duration" line per item, up to the first empty
// line); its files, where it has any, are those of its folder "music" or
// "ringtones", found by the item's title with or without the suffix.
// Extract copies those; Import and Transfer need the page's own phone and
// are off, and nothing reaches for a phone.
#pragma once

#include "records/mediarecords.h"
#include "views/common/abscategorypage.h"
#include "views/media/itemmodelmusic.h"
#include "views/media/mediaextract.h"

#include <QList>
#include <QModelIndex>

#include <memory>

class MyTreeView;
class QLabel;
class QTextStream;
namespace Ui {
class MusicMainForm;
}

class MusicMainForm : public AbsCategoryPage {
    Q_OBJECT

public:
    static constexpr int kMusic = 17;

    // kind: 17 music, anything else ringtones.
    MusicMainForm(int kind, Node* sourceNode, Node* devicesRoot, QWidget* parent = nullptr);
    ~MusicMainForm() override;

    int kind() const { return m_kind; }
    // Reads the list afresh (phone or virtual device file) into the model.
    void loadList();
    // The records of the selected rows, in selection order.
    QList<MusicRecord> selectedRecords() const;
    // The records of all rows, in row order.
    QList<MusicRecord> allRecords() const { return model->records(); }

    // The records of a virtual device's list, up to the end or the first
    // empty line.
    static QList<MusicRecord> readLocalList(QTextStream& in);
    // What Extract hands the download for songs of a connected phone: each
    // song's path, the name a warning gives it, and its node's label: the
    // title, with "." and the suffix of the path when the title holds no
    // "." ("Track 1" of /sdcard/Music/a.mp3 is "Track 1.mp3").
    static QList<MediaExtract::File> downloadFiles(const QList<MusicRecord>& records);

    MyTreeView* listView() const;
    ItemModelMusic* musicModel() const { return model; }
    QLabel* countLabel() const;

public slots:
    void dbClicked(const QModelIndex& index);
    void miContextMenu() { execContextMenu(); }
    void miImport();
    void miExport() { exportRecords(selectedRecords()); }
    void miToolbarExport() { exportRecords(selectedOrAll()); }
    void miA2A() { transferRecords(selectedRecords()); }
    void miToolbarA2A() { transferRecords(selectedOrAll()); }

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool hasSelection(int menu) const override;

private:
    QList<MusicRecord> selectedOrAll() const;
    QList<MusicRecord> loadFromPhone();
    QList<MusicRecord> loadFromVirtualDevice() const;
    void exportRecords(const QList<MusicRecord>& records);
    void transferRecords(const QList<MusicRecord>& records);
    bool isMusic() const { return m_kind == kMusic; }

    std::unique_ptr<Ui::MusicMainForm> form;
    int m_kind;
    ItemModelMusic* model;
};
