#include "data/dataset_rowstore.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr std::size_t kSmallChunk = 64u << 10;
constexpr std::size_t kLargeChunk = 4u << 20;
constexpr std::size_t kLargePage = 2u << 20;
constexpr std::size_t kFirstRows = 8192;

// A block of memory; from a large page's size up it is mapped on its own,
// starts on a large page boundary and asks for large pages. Smaller ones
// come from the heap, which reuses them without a system call or a page
// fault when results of a few rows are opened one after another.
char *MapBlock(std::size_t size)
{
    const bool large = size >= kLargePage;
    if (!large) {
        void *p = std::malloc(size);
        if (!p)
            throw std::bad_alloc();
        return static_cast<char *>(p);
    }
    const std::size_t slack = kLargePage;
    void *p = mmap(nullptr, size + slack, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED)
        throw std::bad_alloc();
    const std::uintptr_t start = std::uintptr_t(p);
    const std::uintptr_t aligned = (start + kLargePage - 1) & ~std::uintptr_t(kLargePage - 1);
    if (aligned > start)
        munmap(p, aligned - start);
    if (const std::uintptr_t end = start + size + slack; end > aligned + size)
        munmap(reinterpret_cast<void *>(aligned + size), end - aligned - size);
    madvise(reinterpret_cast<void *>(aligned), size, MADV_HUGEPAGE);
    return reinterpret_cast<char *>(aligned);
}

void FreeBlock(void *p, std::size_t size)
{
    if (size >= kLargePage)
        munmap(p, size);
    else
        std::free(p);
}

} // namespace

void TRowStore::Clear()
{
    for (const TBlock &b : m_chunks)
        FreeBlock(b.data, b.size);
    m_chunks.clear();
    m_base = m_out = m_end = m_rowStart = nullptr;
    if (m_rows)
        FreeBlock(m_rows, m_rowCapacity * sizeof *m_rows);
    m_rows = nullptr;
    m_rowCount = m_rowCapacity = 0;
    m_kinds.assign(std::size_t(m_columns), 0);
}

qint64 TRowStore::Bytes() const
{
    qint64 total = qint64(m_rowCapacity * sizeof *m_rows);
    for (const TBlock &b : m_chunks)
        total += qint64(b.size);
    return total;
}

void TRowStore::Grow(std::size_t bytes)
{
    // The part of the row already written moves along with it.
    const std::size_t started = std::size_t(m_out - m_rowStart);
    const std::size_t next = m_chunks.empty() ? kSmallChunk : std::min(kLargeChunk, m_chunks.back().size * 2);
    std::size_t size = std::max(next, started + bytes);
    size = (size + kSmallChunk - 1) & ~(kSmallChunk - 1);
    char *chunk = MapBlock(size);
    if (started)
        std::memcpy(chunk, m_rowStart, started);
    m_chunks.push_back({chunk, size});
    m_base = chunk;
    m_rowStart = m_base;
    m_out = m_base + started;
    m_end = m_base + size;
}

void TRowStore::GrowRows()
{
    const std::size_t capacity = m_rowCapacity ? m_rowCapacity * 2 : kFirstRows;
    const std::size_t bytes = capacity * sizeof *m_rows;
    const std::size_t oldBytes = m_rowCapacity * sizeof *m_rows;
    if (!m_rows || oldBytes < kLargePage) {
        auto *rows = reinterpret_cast<std::uint64_t *>(MapBlock(bytes));
        if (m_rows) {
            std::memcpy(rows, m_rows, m_rowCount * sizeof *m_rows);
            FreeBlock(m_rows, oldBytes);
        }
        m_rows = rows;
    } else {
        // Moves the page mapping, not the offsets.
        void *p = mremap(m_rows, m_rowCapacity * sizeof *m_rows, bytes, MREMAP_MAYMOVE);
        if (p == MAP_FAILED)
            throw std::bad_alloc();
        if (bytes >= kLargePage)
            madvise(p, bytes, MADV_HUGEPAGE);
        m_rows = static_cast<std::uint64_t *>(p);
    }
    m_rowCapacity = capacity;
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

void TRowStore::ReadRow(int row, const std::vector<char> &wanted, std::vector<QVariant> &out, TextDecoder decode) const
{
    const std::uint64_t at = m_rows[std::size_t(row)];
    const unsigned char *p =
        reinterpret_cast<const unsigned char *>(m_chunks[std::size_t(at >> 32)].data + (at & 0xffffffffu));
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
                out[std::size_t(c)] =
                    decode ? QVariant(decode(bytes, qsizetype(len))) : QVariant(QByteArray(bytes, qsizetype(len)));
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
