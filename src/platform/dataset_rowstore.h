#pragma once
// Compact storage of result rows: each row is one packed run of bytes (a
// type tag per cell, integers as variable-length numbers, doubles as 8 bytes,
// text as length + raw bytes) in large chunks that never move, so a result of
// a million rows costs little more than its text and one offset per row.

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <memory>
#include <vector>

class TRowStore
{
public:
    enum CellKind : unsigned char { Null = 0, Int = 1, Real = 2, Text = 3 };

    void Clear();
    int RowCount() const { return int(m_rows.size()); }
    int ColumnCount() const { return m_columns; }
    void SetColumnCount(int columns) { m_columns = columns; }
    qint64 Bytes() const;

    // Building one row: BeginRow, one Add* per column, EndRow.
    void BeginRow();
    void AddNull();
    void AddInt(qint64 v);
    void AddReal(double v);
    void AddText(const char *data, std::size_t length);
    void EndRow();

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
    char *Reserve(std::size_t bytes);
    void PutVarint(std::uint64_t v);

    static constexpr std::size_t ChunkSize = 4u << 20;
    std::vector<std::unique_ptr<char[]>> m_chunks;
    std::vector<std::size_t> m_chunkSizes;
    std::size_t m_used = 0;          // bytes used in the last chunk
    std::vector<std::uint64_t> m_rows; // chunk << 32 | offset
    std::vector<char> m_row;          // row being built
    std::vector<unsigned> m_kinds;
    int m_columns = 0;
    int m_cell = 0;
};
