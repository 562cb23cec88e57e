// The folders a recursive walk of local folders is inside, by their real
// paths. Walks follow links to folders; a folder whose real path is already
// on the walk (a link back to itself or to a folder above it) would make the
// walk endless, so it is not entered.
//
//   void visit(FolderWalk& walk, const QFileInfo& folder)
//   {
//       const FolderWalk::Step step(walk, folder);
//       if (!step.entered())
//           return; // a loop: skipped
//       for (const QFileInfo& e : FolderWalk::entries(folder.absoluteFilePath()))
//           ...
//   }
#pragma once

#include <QFileInfo>
#include <QList>
#include <QStringList>

class FolderWalk {
public:
    // Enters a folder for as long as it lives.
    class Step {
    public:
        Step(FolderWalk& walk, const QFileInfo& folder);
        ~Step();
        Step(const Step&) = delete;
        Step& operator=(const Step&) = delete;

        // False when the folder is on the walk already (or cannot be
        // resolved): the caller skips it.
        bool entered() const { return m_entered; }

    private:
        FolderWalk& m_walk;
        bool m_entered = false;
    };

    // A folder's folders and files, without "." and "..", links to folders
    // and files followed, links to nothing left out; hidden entries only
    // when asked for. In the file system's order.
    static QList<QFileInfo> entries(const QString& folder, bool hidden = false);

private:
    QStringList m_onWalk; // real paths, outermost first
};
