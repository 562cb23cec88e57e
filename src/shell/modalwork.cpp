#include "modalwork.h"

ModalWork::Scope::Scope()
{
    ++instance()->m_depth;
}

ModalWork::Scope::~Scope()
{
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
    return instance()->m_depth > 0;
}
