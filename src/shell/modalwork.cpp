#include "modalwork.h"

#include <QCoreApplication>
#include <QThread>

namespace {

// The count is not guarded: scopes open and close on the application's
// thread only (without an application there is no other thread to mind).
[[maybe_unused]] bool onApplicationThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

} // namespace

ModalWork::Scope::Scope()
{
    Q_ASSERT_X(onApplicationThread(), "ModalWork::Scope", "modal work is counted on the GUI thread only");
    ++instance()->m_depth;
}

ModalWork::Scope::~Scope()
{
    Q_ASSERT_X(onApplicationThread(), "ModalWork::Scope", "modal work is counted on the GUI thread only");
    ModalWork* work = instance();
    if (--work->m_depth == 0)
        emit work->ended();
}

ModalWork* ModalWork::instance()
{
    // Never destroyed: scopes may close while statics are torn down.
    static auto* work = new ModalWork;
    return work;
}

bool ModalWork::running()
{
    Q_ASSERT_X(onApplicationThread(), "ModalWork::running", "modal work is counted on the GUI thread only");
    return instance()->m_depth > 0;
}
