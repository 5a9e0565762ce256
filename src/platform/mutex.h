#pragma once
// A named object that lives while any process holding it runs (in place of
// a named kernel mutex). Creating it never fails the caller and never waits.

#include <QString>

#include <memory>

class QSharedMemory;

class TNamedMutex
{
public:
    explicit TNamedMutex(const QString &name);
    ~TNamedMutex();
    TNamedMutex(const TNamedMutex &) = delete;
    TNamedMutex &operator=(const TNamedMutex &) = delete;

    // True when another holder had created it already.
    bool AlreadyExisted() const { return m_existed; }
    // True when the object could be created or opened at all.
    bool Valid() const;

private:
    std::unique_ptr<QSharedMemory> m_memory;
    bool m_existed = false;
};
