// Extract on the music and recordings pages: the chosen items' files copied
// into a folder on the PC that the user picks. A connected phone's files
// come through its download service, local files (a virtual device's, a
// backup's) are copied. Each goes under the file name of its path and
// replaces a file of that name only once it is complete.
//
// After a successful run the items that were not extracted are named: those
// without a file, and those the download refused (a name that would leave
// the folder, a path that cannot be sent as one line).
#pragma once

#include "records/remotefile.h"

#include <QCoreApplication>
#include <QList>
#include <QString>

#include <memory>

class AndroidDeviceInfo;
class QWidget;

class MediaExtract {
    Q_DECLARE_TR_FUNCTIONS(MediaExtract)

public:
    struct File {
        QString path; // on the phone, or local; empty: the item has none
        QString shown; // how the warning names the item
        QString label; // the download node's label; empty: none
    };

    // The flat node the download or the copy gets for a file: no folder,
    // no parent, the file's path and label.
    static std::unique_ptr<_RemoteFile> downloadNode(const File& file);

    // phone: the connected phone the paths are on; null: local paths. With
    // no item at all nothing happens after the folder question.
    static void run(QWidget* parent, AndroidDeviceInfo* phone, const QList<File>& files);
};
