#pragma once
// Animated cursors kept inside a window instead of in separate files: each
// item carries a cursor file's bytes (the stored value "AniCur") and, once
// the window holding the component has been read, is installed into the
// screen's cursor table under its own cursor number.

#include "data/dberror.h"
#include "platform/screen.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QIODevice;
class TmpAnimatedCursorItem;
class TmpAnimatedCursors;
class TmpAnimatedCursorList;

// A cursor that cannot be installed, or a cursor number that may not be used.
class ECursorError : public Exception
{
public:
    using Exception::Exception;
};

// The framework's collection: owns its items in index order.
class TCursorCollection
{
public:
    TCursorCollection() = default;
    virtual ~TCursorCollection();
    TCursorCollection(const TCursorCollection &) = delete;
    TCursorCollection &operator=(const TCursorCollection &) = delete;

    int Count() const { return int(m_items.size()); }
    class TmpAnimatedCursorItem *Item(int index) const { return m_items.value(index); }
    int IndexOf(const class TmpAnimatedCursorItem *item) const;
    int NextId() { return m_nextId++; }
    void Clear();
    // Items added, removed or changed; null means all of them.
    virtual void ItemsChanged(class TmpAnimatedCursorItem *item) { (void)item; }

private:
    friend class TmpAnimatedCursorItem;
    QList<class TmpAnimatedCursorItem *> m_items;
    int m_nextId = 0;
};

// A binary value an item keeps in the stored form.
struct TStoredBinaryValue {
    QString Name;
    std::function<void(QIODevice &)> Load;
    std::function<void(QIODevice &)> Save;
    bool HasData = true;
};

class TmpAnimatedCursorItem
{
public:
    // Appends the item to the collection, which owns it.
    explicit TmpAnimatedCursorItem(TCursorCollection *collection);
    virtual ~TmpAnimatedCursorItem();
    TmpAnimatedCursorItem(const TmpAnimatedCursorItem &) = delete;
    TmpAnimatedCursorItem &operator=(const TmpAnimatedCursorItem &) = delete;

    QString Description() const { return m_description; }
    void SetDescription(const QString &text);
    qint16 CursorID() const { return m_cursorId; }
    // Below 1 raises "Cannot replace a system cursor" and changes nothing.
    void SetCursorID(int number);

    int Index() const;
    int CollectionId() const { return m_id; }
    TmpAnimatedCursorList *List() const { return m_list; }
    qint64 DataSize() const { return m_data ? m_data->size() : 0; }
    QByteArray Data() const { return m_data ? *m_data : QByteArray(); }

    void TakeSettingsFrom(const TmpAnimatedCursorItem &source);
    void AssignCursorBytes(const char *bytes, qint64 length);
    int NextFreeCursorID() const;
    QString ListCaption() const;

    // The stored form's binary value "AniCur", always declared.
    TStoredBinaryValue DefineAniCur();
    void LoadAniCurValue(QIODevice &stream);
    void SaveAniCurValue(QIODevice &stream) const;

    // A new cursor from the bytes, through a temporary file that is always
    // deleted: nullopt without data, a null handle when the bytes do not
    // load (the reason in error).
    std::optional<TCursorHandle> LoadCursorHandle(QString *error = nullptr) const;
    void Install();
    void ReleaseCursor();

private:
    void Changed(TmpAnimatedCursorItem *item);

    TCursorCollection *m_collection;
    TmpAnimatedCursorList *m_list = nullptr;
    int m_id;
    QString m_description;
    qint16 m_cursorId = 1;
    std::unique_ptr<QByteArray> m_data;
};

class TmpAnimatedCursorList : public TCursorCollection
{
public:
    explicit TmpAnimatedCursorList(TmpAnimatedCursors *owner);
    ~TmpAnimatedCursorList() override;

    TmpAnimatedCursorItem *ItemAt(int index) const { return Item(index); }
    TmpAnimatedCursorItem *Add() { return new TmpAnimatedCursorItem(this); }
    TmpAnimatedCursors *OwnerComponent() const { return m_owner; }

    void BeginUpdateBracket();
    void EndUpdateBracket();
    void ItemsChanged(TmpAnimatedCursorItem *item) override;
    bool PendingChange() const { return m_pending; }

private:
    TmpAnimatedCursors *m_owner;
    bool m_pending = false;
    int m_updateCount = 0;
};

class TmpAnimatedCursors
{
public:
    TmpAnimatedCursors();
    virtual ~TmpAnimatedCursors();
    TmpAnimatedCursors(const TmpAnimatedCursors &) = delete;
    TmpAnimatedCursors &operator=(const TmpAnimatedCursors &) = delete;

    TmpAnimatedCursorList *Cursors() const { return m_cursors.get(); }
    // Copies the items of the given list into the component's own list.
    void ReplaceCursors(const TmpAnimatedCursorList &list);
    QString About() const;
    void SetAbout(const QString &) {}

    void TakeSettingsFrom(const TmpAnimatedCursors &source);
    void AfterLoad();
    void InstallCursor(int index);
    void InstallAll();
    QString CursorDisplayName(int number) const;

    // Component states: being designed never happens in the program; being
    // read lasts from BeginRead to EndRead (which then calls AfterLoad).
    bool Designing = false;
    bool Loading() const { return m_loading; }
    void BeginRead();
    void EndRead();
    // Reads the items as a form is read: inside BeginRead and EndRead; an
    // error ends the reading without installing anything.
    void Read(const std::function<void()> &read);

    // The stored form of the items: read as a window's form is read, and
    // written back.
    void ReadForm(QIODevice &stream);
    void WriteForm(QIODevice &stream);

private:
    std::unique_ptr<TmpAnimatedCursorList> m_cursors;
    bool m_loading = false;
};
