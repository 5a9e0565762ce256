#pragma once
// Compact storage of result rows: each row is one packed run of bytes (a
// type tag per cell, integers as variable-length numbers, doubles as 8 bytes,
// text as length + raw bytes) in chunks that never move, so a result of a
// million rows costs little more than its text and one offset per row. The
// chunks grow from small to large; large ones are taken from the system in
// large pages, which spares a page fault per 4 KiB of a big result.

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <cstring>
#include <vector>

class TRowStore
{
public:
    enum CellKind : unsigned char { Null = 0, Int = 1, Real = 2, Text = 3 };

    TRowStore() = default;
    ~TRowStore() { Clear(); }
    TRowStore(const TRowStore &) = delete;
    TRowStore &operator=(const TRowStore &) = delete;

    void Clear();
    int RowCount() const { return int(m_rowCount); }
    int ColumnCount() const { return m_columns; }
    void SetColumnCount(int columns)
    {
        m_columns = columns;
        m_kinds.assign(std::size_t(columns), 0);
    }
    qint64 Bytes() const;

    // Building one row: BeginRow, one Add* per column, EndRow. Cells are
    // written straight into the current chunk; a row that does not fit moves
    // to a new one.
    void BeginRow()
    {
        m_rowStart = m_out;
        m_cell = 0;
    }
    void AddNull()
    {
        Ensure(1);
        *m_out++ = char(Null);
        Seen(Null);
    }
    void AddInt(qint64 v)
    {
        Ensure(1 + MaxVarint);
        *m_out++ = char(Int);
        // Zig-zag keeps small negative numbers short.
        PutVarint((std::uint64_t(v) << 1) ^ std::uint64_t(v >> 63));
        Seen(Int);
    }
    void AddReal(double v)
    {
        Ensure(1 + sizeof v);
        *m_out++ = char(Real);
        std::memcpy(m_out, &v, sizeof v);
        m_out += sizeof v;
        Seen(Real);
    }
    void AddText(const char *data, std::size_t length)
    {
        Ensure(1 + MaxVarint + length);
        *m_out++ = char(Text);
        PutVarint(length);
        if (length)
            std::memcpy(m_out, data, length);
        m_out += length;
        Seen(Text);
    }
    void EndRow()
    {
        if (!m_base)
            Grow(0); // a row without cells still needs a place
        if (m_rowCount == m_rowCapacity)
            GrowRows();
        m_rows[m_rowCount++] = std::uint64_t(m_chunks.size() - 1) << 32 | std::uint64_t(m_rowStart - m_base);
    }

    // Kind of every cell of a column seen so far (bit set per CellKind).
    unsigned KindsOfColumn(int column) const { return m_kinds[std::size_t(column)]; }

    // Turns a text cell's raw bytes into a string.
    using TextDecoder = QString (*)(const char *bytes, qsizetype length);

    // Decodes a row: for each wanted column, its value (text through decode,
    // or as raw bytes in a QByteArray without one; integers as qint64,
    // doubles as double, null as invalid).
    void ReadRow(int row, const std::vector<char> &wanted, std::vector<QVariant> &out,
                 TextDecoder decode = nullptr) const;

private:
    static constexpr std::size_t MaxVarint = 10;
    void Ensure(std::size_t bytes)
    {
        if (std::size_t(m_end - m_out) < bytes)
            Grow(bytes);
    }
    void Grow(std::size_t bytes);
    void GrowRows();
    void PutVarint(std::uint64_t v)
    {
        while (v >= 0x80) {
            *m_out++ = char(v | 0x80);
            v >>= 7;
        }
        *m_out++ = char(v);
    }
    void Seen(CellKind kind) { m_kinds[std::size_t(m_cell++)] |= 1u << kind; }

    struct TBlock {
        char *data;
        std::size_t size;
    };
    std::vector<TBlock> m_chunks;
    char *m_base = nullptr;          // start of the last chunk
    char *m_out = nullptr;           // next free byte in it
    char *m_end = nullptr;           // its end
    char *m_rowStart = nullptr;      // the row being built
    std::uint64_t *m_rows = nullptr; // chunk << 32 | offset
    std::size_t m_rowCount = 0;
    std::size_t m_rowCapacity = 0;
    std::vector<unsigned> m_kinds;
    int m_columns = 0;
    int m_cell = 0;
};
