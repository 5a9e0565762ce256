// Packed rows give back exactly what was stored.
#include "data/dataset_rowstore.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

TEST(RowStore, RoundTripsEveryKindOfCell)
{
    TRowStore store;
    store.SetColumnCount(4);
    store.Clear();
    const qint64 ints[] = {
        0, -1, 1, 127, 128, -129, std::numeric_limits<qint64>::max(), std::numeric_limits<qint64>::min()};
    const QByteArray bytes("\xd5\xcb\xc5\xc1\0 end", 9); // zero byte inside
    for (qint64 v : ints) {
        store.BeginRow();
        store.AddInt(v);
        store.AddReal(double(v) / 3);
        store.AddText(bytes.constData(), std::size_t(bytes.size()));
        store.AddNull();
        store.EndRow();
    }
    ASSERT_EQ(store.RowCount(), 8);
    std::vector<QVariant> out;
    const std::vector<char> all(4, 1);
    for (int r = 0; r < store.RowCount(); ++r) {
        store.ReadRow(r, all, out);
        EXPECT_EQ(out[0].toLongLong(), ints[r]);
        EXPECT_EQ(out[1].toDouble(), double(ints[r]) / 3);
        EXPECT_EQ(out[2].toByteArray(), bytes);
        EXPECT_FALSE(out[3].isValid());
    }
    // Columns not asked for are skipped, not decoded.
    std::vector<QVariant> some(4, QVariant(QStringLiteral("untouched")));
    store.ReadRow(3, {0, 0, 1, 0}, some);
    EXPECT_EQ(some[0].toString(), QStringLiteral("untouched"));
    EXPECT_EQ(some[2].toByteArray(), bytes);
    EXPECT_EQ(store.KindsOfColumn(0), 1u << TRowStore::Int);
    EXPECT_EQ(store.KindsOfColumn(3), 1u << TRowStore::Null);
}

TEST(RowStore, RowsLargerThanAChunkAndManyRows)
{
    TRowStore store;
    store.SetColumnCount(1);
    store.Clear();
    const std::string huge(5u << 20, 'x');
    store.BeginRow();
    store.AddText(huge.data(), huge.size());
    store.EndRow();
    for (int i = 0; i < 200000; ++i) {
        store.BeginRow();
        store.AddInt(i);
        store.EndRow();
    }
    std::vector<QVariant> out;
    store.ReadRow(0, {1}, out);
    EXPECT_EQ(out[0].toByteArray().size(), qsizetype(huge.size()));
    store.ReadRow(200000, {1}, out);
    EXPECT_EQ(out[0].toLongLong(), 199999);
    store.Clear();
    EXPECT_EQ(store.RowCount(), 0);
}

TEST(RowStore, RowsThatCrossChunkEndsMoveWhole)
{
    // Texts of growing length push rows over the ends of small and large
    // chunks, in the middle of a row as well as at its start.
    TRowStore store;
    store.SetColumnCount(4);
    store.Clear();
    constexpr int kRows = 3000;
    auto text = [](int r) { return std::string(std::size_t(r * 37 % 9000), char('a' + r % 26)); };
    for (int r = 0; r < kRows; ++r) {
        const std::string t = text(r);
        store.BeginRow();
        store.AddInt(-r);
        store.AddText(t.data(), t.size());
        r % 5 ? store.AddReal(r + 0.5) : store.AddNull();
        store.AddText(t.data(), r % 3);
        store.EndRow();
    }
    ASSERT_EQ(store.RowCount(), kRows);
    EXPECT_GT(store.Bytes(), qint64(4u << 20)); // past the small chunks
    std::vector<QVariant> out;
    const std::vector<char> all(4, 1);
    for (int r = 0; r < kRows && !HasFailure(); ++r) {
        store.ReadRow(r, all, out);
        const std::string t = text(r);
        EXPECT_EQ(out[0].toLongLong(), -r);
        EXPECT_EQ(out[1].toByteArray(), QByteArray::fromStdString(t)) << r;
        if (r % 5)
            EXPECT_EQ(out[2].toDouble(), r + 0.5);
        else
            EXPECT_FALSE(out[2].isValid());
        EXPECT_EQ(out[3].toByteArray(), QByteArray::fromStdString(t.substr(0, std::size_t(r % 3))));
    }
    // A row of no cells has a place too.
    TRowStore none;
    none.BeginRow();
    none.EndRow();
    EXPECT_EQ(none.RowCount(), 1);
    none.ReadRow(0, {}, out);
    EXPECT_TRUE(out.empty());
}
