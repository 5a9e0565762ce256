#pragma once
// Produces every row of the sample catalogue, in a fixed order, from the
// options alone; the writers turn the rows into an SQLite file or SQL text.

#include "catgen/catgen.h"
#include "catgen/catgen_schema.h"

#include <cstdint>

namespace catgen {

// Small deterministic generator (splitmix64): the same seed gives the same
// numbers on every platform and library version.
class Rng
{
public:
    explicit Rng(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t Next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // 0 .. n-1; n must be positive.
    int Below(int n) { return static_cast<int>((Next() >> 16) % static_cast<std::uint64_t>(n)); }
    int Range(int lo, int hi) { return lo + Below(hi - lo + 1); }
    // True with the given chance in percent.
    bool Chance(int percent) { return Below(100) < percent; }

private:
    std::uint64_t m_state;
};

void GenerateCatalogue(const CatalogueOptions &options, RowSink &sink);

// Upper-case hexadecimal text of a small JPEG picture (banner 1 or 2).
QByteArray MakeBannerHex(int variant);

} // namespace catgen
