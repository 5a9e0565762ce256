#include "windows/main/subfolders.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <filesystem>

TEST(Subfolders, ReverseOfTheListingOrderWithoutHiddenReadOnlyFilesOrLinks)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString pages = dir.path() + QStringLiteral("/pages");
    for (const char *name : {"A", "B", "C", "Новости", ".hidden", "locked", "dots."})
        ASSERT_TRUE(QDir().mkpath(pages + u'/' + QString::fromUtf8(name)));
    QFile(pages + QStringLiteral("/index.html")).open(QIODevice::WriteOnly); // a file, not a folder
    ASSERT_TRUE(QFile::link(pages + QStringLiteral("/A"), pages + QStringLiteral("/link")));
    ASSERT_TRUE(
        QFile::setPermissions(pages + QStringLiteral("/locked"), QFileDevice::ReadOwner | QFileDevice::ExeOwner));

    // The file system's own order, read past Qt.
    QStringList listed;
    for (const auto &entry : std::filesystem::directory_iterator(pages.toStdString())) {
        const QString name = QString::fromStdString(entry.path().filename().string());
        if (QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("Новости")}
                .contains(name))
            listed.prepend(pages + u'/' + name);
    }

    QStringList list{QStringLiteral("before")};
    AddSubfolders(pages, list);
    EXPECT_EQ(list, QStringList{QStringLiteral("before")} + listed);

    QStringList withSlash;
    AddSubfolders(pages + u'/', withSlash);
    EXPECT_EQ(withSlash, listed);

    QStringList none;
    AddSubfolders(dir.path() + QStringLiteral("/missing"), none);
    ListSubfolders(QStringLiteral("x/"), 0, dir.path() + QStringLiteral("/missing"), none);
    EXPECT_TRUE(none.isEmpty());

    QFile::setPermissions(pages + QStringLiteral("/locked"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}
