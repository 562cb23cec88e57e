// Modal work of the window: a job under its progress dialog, a modal
// dialog or message box, a menu, a page being built. Each runs an event
// loop of its own while the code that started it waits on the stack, so
// whatever that code holds (a page, a tree node, a descriptor) must stay
// until it returns. Work that would delete such things (a phone node whose
// phone left, a backup node to recount) waits for ended().
//
//   {
//       ModalWork::Scope busy;
//       dialog.exec();
//   } // the last scope to close emits ended()
//
// GUI thread only (asserted in debug builds).
#pragma once

#include <QObject>

class ModalWork : public QObject {
    Q_OBJECT

public:
    // Counts one piece of modal work for its lifetime.
    class Scope {
    public:
        Scope();
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
    };

    static ModalWork* instance();
    // True while any scope is open.
    static bool running();

signals:
    // The last open scope closed. Emitted while the code that opened it is
    // still on the stack: receivers that delete things connect queued, and
    // check running() again when called.
    void ended();

private:
    ModalWork() = default;
    int m_depth = 0;
};
