#include "platform/mutex.h"

#include <QSharedMemory>

TNamedMutex::TNamedMutex(const QString &name) : m_memory(std::make_unique<QSharedMemory>(name))
{
    if (m_memory->create(1))
        return;
    if (m_memory->error() == QSharedMemory::AlreadyExists) {
        m_existed = true;
        m_memory->attach();
    }
}

TNamedMutex::~TNamedMutex() = default;

bool TNamedMutex::Valid() const
{
    return m_memory->isAttached();
}
