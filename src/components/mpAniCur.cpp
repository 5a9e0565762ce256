#include "components/mpAniCur.h"

#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QTemporaryFile>

// --- collection ---

TCursorCollection::~TCursorCollection()
{
    Clear();
}

int TCursorCollection::IndexOf(const TmpAnimatedCursorItem *item) const
{
    return int(m_items.indexOf(const_cast<TmpAnimatedCursorItem *>(item)));
}

void TCursorCollection::Clear()
{
    // Items leave one by one, each releasing its cursor; nothing is
    // installed again meanwhile.
    while (!m_items.isEmpty())
        delete m_items.last();
}

// --- item ---

TmpAnimatedCursorItem::TmpAnimatedCursorItem(TCursorCollection *collection)
    : m_collection(collection), m_list(dynamic_cast<TmpAnimatedCursorList *>(collection)), m_id(collection->NextId())
{
    collection->m_items.append(this);
    m_cursorId = qint16(m_list ? NextFreeCursorID() : m_id + 1);
    m_description = QStringLiteral("Cursor ") + QString::number(m_cursorId);
    Changed(nullptr);
}

TmpAnimatedCursorItem::~TmpAnimatedCursorItem()
{
    ReleaseCursor();
    m_collection->m_items.removeOne(this);
}

int TmpAnimatedCursorItem::Index() const
{
    return m_collection->IndexOf(this);
}

void TmpAnimatedCursorItem::Changed(TmpAnimatedCursorItem *item)
{
    m_collection->ItemsChanged(item);
}

void TmpAnimatedCursorItem::SetDescription(const QString &text)
{
    if (text == m_description)
        return;
    m_description = text;
    Changed(this);
}

void TmpAnimatedCursorItem::SetCursorID(int number)
{
    if (number < 1)
        throw ECursorError(QStringLiteral("Cannot replace a system cursor"));
    if (number == m_cursorId)
        return;
    m_cursorId = qint16(number);
    // Another number may uncover or cover an entry of another item.
    Changed(nullptr);
}

void TmpAnimatedCursorItem::TakeSettingsFrom(const TmpAnimatedCursorItem &source)
{
    SetDescription(source.m_description);
    SetCursorID(source.m_cursorId);
    const QByteArray bytes = source.Data();
    AssignCursorBytes(bytes.constData(), bytes.size());
    Changed(this);
}

void TmpAnimatedCursorItem::AssignCursorBytes(const char *bytes, qint64 length)
{
    ReleaseCursor();
    if (bytes && length > 0)
        m_data = std::make_unique<QByteArray>(bytes, length);
    Changed(this);
}

int TmpAnimatedCursorItem::NextFreeCursorID() const
{
    if (!m_list || !m_list->OwnerComponent())
        return 1;
    const TmpAnimatedCursors *owner = m_list->OwnerComponent();
    for (int i = 1;; ++i)
        if (!owner->CursorDisplayName(i).startsWith(QStringLiteral("crMP")))
            return i;
}

QString TmpAnimatedCursorItem::ListCaption() const
{
    if (m_description.isEmpty())
        return QString::number(m_cursorId);
    return QStringLiteral("crMP") + m_description + QStringLiteral(" (") + QString::number(m_cursorId) +
           QStringLiteral(")");
}

TStoredBinaryValue TmpAnimatedCursorItem::DefineAniCur()
{
    TStoredBinaryValue value;
    value.Name = QStringLiteral("AniCur");
    value.Load = [this](QIODevice &stream) { LoadAniCurValue(stream); };
    value.Save = [this](QIODevice &stream) { SaveAniCurValue(stream); };
    value.HasData = true;
    return value;
}

void TmpAnimatedCursorItem::LoadAniCurValue(QIODevice &stream)
{
    ReleaseCursor();
    if (stream.size() > 0) {
        stream.seek(0);
        m_data = std::make_unique<QByteArray>(stream.readAll());
    }
}

void TmpAnimatedCursorItem::SaveAniCurValue(QIODevice &stream) const
{
    if (DataSize() > 0)
        stream.write(*m_data);
}

std::optional<TCursorHandle> TmpAnimatedCursorItem::LoadCursorHandle(QString *error) const
{
    if (DataSize() <= 0)
        return std::nullopt;
    // The cursor loader reads files only; each load gets a file of its own.
    QTemporaryFile file(QDir(QDir::tempPath()).filePath(QStringLiteral("mpaXXXXXX.tmp")));
    if (!file.open()) {
        if (error)
            *error = file.errorString();
        return TCursorHandle();
    }
    const QString path = file.fileName();
    const bool written = file.write(*m_data) == m_data->size() && file.flush();
    file.close();
    TCursorHandle handle;
    if (written)
        handle = LoadCursorFromFile(path, error);
    else if (error)
        *error = file.errorString();
    QFile::remove(path);
    return handle;
}

void TmpAnimatedCursorItem::Install()
{
    QString why;
    const std::optional<TCursorHandle> handle = LoadCursorHandle(&why);
    if (!handle)
        return;
    if (!*handle) {
        const QString text = QStringLiteral("Invalid cursor data");
        throw ECursorError(why.isEmpty() ? text : QStringLiteral("%1\r\n(%2)").arg(text, why));
    }
    Screen::SetCursorHandle(m_cursorId, *handle);
}

void TmpAnimatedCursorItem::ReleaseCursor()
{
    if (m_list && m_list->OwnerComponent() && !m_list->OwnerComponent()->Designing)
        Screen::ClearCursor(m_cursorId);
    m_data.reset();
}

// --- list ---

TmpAnimatedCursorList::TmpAnimatedCursorList(TmpAnimatedCursors *owner) : m_owner(owner) {}

TmpAnimatedCursorList::~TmpAnimatedCursorList()
{
    // Items leaving with the list install nothing.
    m_updateCount = 1;
    Clear();
}

void TmpAnimatedCursorList::BeginUpdateBracket()
{
    ++m_updateCount;
}

void TmpAnimatedCursorList::EndUpdateBracket()
{
    if (m_updateCount > 0)
        --m_updateCount;
    if (m_updateCount == 0 && m_pending) {
        m_pending = false;
        if (m_owner)
            m_owner->InstallAll();
    }
}

void TmpAnimatedCursorList::ItemsChanged(TmpAnimatedCursorItem *item)
{
    if (m_updateCount > 0) {
        m_pending = true;
        return;
    }
    if (!m_owner)
        return;
    if (item)
        m_owner->InstallCursor(item->Index());
    else
        m_owner->InstallAll();
}

// --- component ---

TmpAnimatedCursors::TmpAnimatedCursors() : m_cursors(std::make_unique<TmpAnimatedCursorList>(this)) {}

TmpAnimatedCursors::~TmpAnimatedCursors() = default;

QString TmpAnimatedCursors::About() const
{
    return QStringLiteral("TmpAnimatedCursors 1.0");
}

void TmpAnimatedCursors::ReplaceCursors(const TmpAnimatedCursorList &list)
{
    if (&list != m_cursors.get()) {
        m_cursors->BeginUpdateBracket();
        try {
            m_cursors->Clear();
            for (int i = 0; i < list.Count(); ++i)
                m_cursors->Add()->TakeSettingsFrom(*list.ItemAt(i));
        } catch (...) {
            m_cursors->EndUpdateBracket();
            throw;
        }
        m_cursors->EndUpdateBracket();
    }
    InstallAll();
}

void TmpAnimatedCursors::TakeSettingsFrom(const TmpAnimatedCursors &source)
{
    if (&source == this)
        return;
    m_cursors->BeginUpdateBracket();
    try {
        m_cursors->Clear();
        for (int i = 0; i < source.m_cursors->Count(); ++i)
            m_cursors->Add()->TakeSettingsFrom(*source.m_cursors->ItemAt(i));
    } catch (...) {
        m_cursors->EndUpdateBracket();
        throw;
    }
    m_cursors->EndUpdateBracket();
}

void TmpAnimatedCursors::AfterLoad()
{
    if (!Designing)
        InstallAll();
}

void TmpAnimatedCursors::InstallCursor(int index)
{
    if (Designing || m_loading)
        return;
    if (TmpAnimatedCursorItem *item = m_cursors->ItemAt(index))
        item->Install();
}

void TmpAnimatedCursors::InstallAll()
{
    if (Designing || m_loading)
        return;
    for (int i = 0; i < m_cursors->Count(); ++i)
        InstallCursor(i);
}

QString TmpAnimatedCursors::CursorDisplayName(int number) const
{
    for (int i = 0; i < m_cursors->Count(); ++i)
        if (m_cursors->ItemAt(i)->CursorID() == number)
            return m_cursors->ItemAt(i)->ListCaption();
    return QString::number(number);
}

void TmpAnimatedCursors::BeginRead()
{
    m_loading = true;
    m_cursors->BeginUpdateBracket();
}

void TmpAnimatedCursors::EndRead()
{
    m_cursors->EndUpdateBracket();
    m_loading = false;
    AfterLoad();
}

namespace {

const QString kDescription = QStringLiteral("Description");
const QString kCursorId = QStringLiteral("CursorID");

} // namespace

void TmpAnimatedCursors::Read(const std::function<void()> &read)
{
    BeginRead();
    try {
        read();
    } catch (...) {
        m_cursors->EndUpdateBracket();
        m_loading = false;
        throw;
    }
    EndRead();
}

void TmpAnimatedCursors::ReadForm(QIODevice &stream)
{
    Read([&] {
        QDataStream in(&stream);
        quint32 count = 0;
        in >> count;
        for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
            TmpAnimatedCursorItem *item = m_cursors->Add();
            quint32 values = 0;
            in >> values;
            for (quint32 v = 0; v < values && in.status() == QDataStream::Ok; ++v) {
                QString name;
                QByteArray value;
                in >> name >> value;
                if (in.status() != QDataStream::Ok)
                    break;
                if (name == kDescription) {
                    item->SetDescription(QString::fromUtf8(value));
                } else if (name == kCursorId) {
                    item->SetCursorID(value.toInt());
                } else {
                    const TStoredBinaryValue binary = item->DefineAniCur();
                    if (name != binary.Name)
                        throw ECursorError(QStringLiteral("Unknown stored value ") + name);
                    QBuffer buffer(&value);
                    buffer.open(QIODevice::ReadOnly);
                    binary.Load(buffer);
                }
            }
        }
        if (in.status() != QDataStream::Ok)
            throw ECursorError(QStringLiteral("Stored form truncated"));
    });
}

void TmpAnimatedCursors::WriteForm(QIODevice &stream)
{
    QDataStream out(&stream);
    out << quint32(m_cursors->Count());
    for (int i = 0; i < m_cursors->Count(); ++i) {
        TmpAnimatedCursorItem *item = m_cursors->ItemAt(i);
        out << quint32(3) << kDescription << item->Description().toUtf8() << kCursorId
            << QByteArray::number(item->CursorID());
        const TStoredBinaryValue binary = item->DefineAniCur();
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        binary.Save(buffer);
        out << binary.Name << bytes;
    }
}
