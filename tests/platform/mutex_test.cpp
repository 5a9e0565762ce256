#include "platform/mutex.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <memory>

TEST(NamedMutex, SecondHolderIsNotRefused)
{
    const QString name = QStringLiteral("SelbranMutexTest") + QString::number(QCoreApplication::applicationPid());
    auto first = std::make_unique<TNamedMutex>(name);
    EXPECT_TRUE(first->Valid());
    EXPECT_FALSE(first->AlreadyExisted());
    TNamedMutex second(name);
    EXPECT_TRUE(second.Valid());
    EXPECT_TRUE(second.AlreadyExisted());
    first.reset();
    // The object lives while any holder keeps it.
    TNamedMutex third(name);
    EXPECT_TRUE(third.AlreadyExisted());
}

TEST(NamedMutex, GoneWhenTheLastHolderEnds)
{
    const QString name = QStringLiteral("SelbranMutexGone") + QString::number(QCoreApplication::applicationPid());
    {
        TNamedMutex only(name);
        EXPECT_FALSE(only.AlreadyExisted());
    }
    TNamedMutex again(name);
    EXPECT_FALSE(again.AlreadyExisted());
}
