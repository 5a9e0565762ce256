#include "platform/dataset_rowstore.h"

#include <cstring>

void TRowStore::Clear()
{
    m_chunks.clear();
    m_chunkSizes.clear();
    m_used = 0;
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_row.clear();
    m_kinds.assign(std::size_t(m_columns), 0);
}

qint64 TRowStore::Bytes() const
{
    qint64 total = qint64(m_rows.capacity() * sizeof(std::uint64_t));
    for (std::size_t s : m_chunkSizes)
        total += qint64(s);
    return total;
}

void TRowStore::BeginRow()
{
    m_row.clear();
    m_cell = 0;
    if (m_kinds.size() != std::size_t(m_columns))
        m_kinds.assign(std::size_t(m_columns), 0);
}

void TRowStore::PutVarint(std::uint64_t v)
{
    while (v >= 0x80) {
        m_row.push_back(char(v | 0x80));
        v >>= 7;
    }
    m_row.push_back(char(v));
}

void TRowStore::AddNull()
{
    m_row.push_back(char(Null));
    m_kinds[std::size_t(m_cell++)] |= 1u << Null;
}

void TRowStore::AddInt(qint64 v)
{
    m_row.push_back(char(Int));
    // Zig-zag keeps small negative numbers short.
    PutVarint((std::uint64_t(v) << 1) ^ std::uint64_t(v >> 63));
    m_kinds[std::size_t(m_cell++)] |= 1u << Int;
}

void TRowStore::AddReal(double v)
{
    m_row.push_back(char(Real));
    char bytes[sizeof v];
    std::memcpy(bytes, &v, sizeof v);
    m_row.insert(m_row.end(), bytes, bytes + sizeof v);
    m_kinds[std::size_t(m_cell++)] |= 1u << Real;
}

void TRowStore::AddText(const char *data, std::size_t length)
{
    m_row.push_back(char(Text));
    PutVarint(length);
    m_row.insert(m_row.end(), data, data + length);
    m_kinds[std::size_t(m_cell++)] |= 1u << Text;
}

char *TRowStore::Reserve(std::size_t bytes)
{
    if (m_chunks.empty() || m_used + bytes > m_chunkSizes.back()) {
        const std::size_t size = std::max(ChunkSize, bytes);
        m_chunks.push_back(std::unique_ptr<char[]>(new char[size]));
        m_chunkSizes.push_back(size);
        m_used = 0;
    }
    char *p = m_chunks.back().get() + m_used;
    m_used += bytes;
    return p;
}

void TRowStore::EndRow()
{
    char *p = Reserve(m_row.size());
    std::memcpy(p, m_row.data(), m_row.size());
    const std::uint64_t chunk = m_chunks.size() - 1;
    const std::uint64_t offset = std::uint64_t(p - m_chunks.back().get());
    m_rows.push_back(chunk << 32 | offset);
}

namespace {

std::uint64_t GetVarint(const unsigned char *&p)
{
    std::uint64_t v = 0;
    int shift = 0;
    while (*p & 0x80) {
        v |= std::uint64_t(*p++ & 0x7f) << shift;
        shift += 7;
    }
    v |= std::uint64_t(*p++) << shift;
    return v;
}

} // namespace

void TRowStore::ReadRow(int row, const std::vector<char> &wanted, std::vector<QVariant> &out,
                        TextDecoder decode) const
{
    const std::uint64_t at = m_rows[std::size_t(row)];
    const unsigned char *p =
        reinterpret_cast<const unsigned char *>(m_chunks[std::size_t(at >> 32)].get() + (at & 0xffffffffu));
    out.resize(std::size_t(m_columns));
    for (int c = 0; c < m_columns; ++c) {
        const bool want = std::size_t(c) < wanted.size() && wanted[std::size_t(c)];
        const unsigned char kind = *p++;
        switch (kind) {
        case Int: {
            const std::uint64_t z = GetVarint(p);
            if (want)
                out[std::size_t(c)] = qint64((z >> 1) ^ (~(z & 1) + 1));
            break;
        }
        case Real: {
            double d;
            std::memcpy(&d, p, sizeof d);
            p += sizeof d;
            if (want)
                out[std::size_t(c)] = d;
            break;
        }
        case Text: {
            const std::uint64_t len = GetVarint(p);
            if (want) {
                const char *bytes = reinterpret_cast<const char *>(p);
                out[std::size_t(c)] = decode ? QVariant(decode(bytes, qsizetype(len)))
                                             : QVariant(QByteArray(bytes, qsizetype(len)));
            }
            p += len;
            break;
        }
        default:
            if (want)
                out[std::size_t(c)] = QVariant();
            break;
        }
    }
}
