// Values, variables and variable lists: cells, rows, copies and the stream form.
#include <gtest/gtest.h>

#include <string>

#include "code/Variable_Class.h"

namespace kelvane {
namespace {

TEST(RString, CopiesShareAndAppendsDoNotLeak) {
    RString a("abc");
    RString b = a;
    b += "d";
    EXPECT_EQ(a, "abc");
    EXPECT_EQ(b, "abcd");
    RString c = b;
    c += c; // appending to itself while shared
    EXPECT_EQ(c, "abcdabcd");
    EXPECT_EQ(b, "abcd");
    RString e;
    EXPECT_TRUE(e.empty());
    EXPECT_EQ(e.view(), "");
    e += "";
    EXPECT_TRUE(e.empty());
    std::string with_nul("a\0b", 3);
    EXPECT_EQ(RString(with_nul).size(), 3u);
}

TEST(CVariable, CellsAndRows) {
    CVariable v;
    v.set(0, RValue(5));
    EXPECT_EQ(v.get(0).real, 5);
    v.set(3, RValue(1)); // a[3] is row 0, column 3
    EXPECT_EQ(v.get(3).real, 1);
    v.set(2 * array_row_size + 5, RValue(7)); // a[2,5]
    EXPECT_EQ(v.get(2 * array_row_size + 5).real, 7);
    // Row 1 exists but is empty; row 3 does not exist: both read 0.
    EXPECT_EQ(v.get(1 * array_row_size + 7).real, 0);
    EXPECT_EQ(v.get(3 * array_row_size).real, 0);
    EXPECT_EQ(v.rows.size(), 3u);
    EXPECT_EQ(v.rows[1].size(), 0u);
    EXPECT_EQ(v.rows[2].size(), 6u);
}

TEST(CVariable, RowsGrowCellByCellKeepingTheirValues) {
    // Written one cell after another, as a counting loop fills an array: the row grows many
    // times and moves its cells, strings included, each time.
    CVariable v;
    for (int32_t c = 1; c < 3000; ++c)
        v.set(c, c % 3 ? RValue(c) : RValue(RString(std::to_string(c))));
    v.set(2 * array_row_size + 31999, RValue("last")); // the last cell a row can hold
    ASSERT_EQ(v.rows.size(), 3u);
    EXPECT_EQ(v.rows[0].size(), 3000u);
    EXPECT_EQ(v.rows[2].size(), size_t(array_row_size));
    EXPECT_EQ(v.get(0).real, 0); // never written
    for (int32_t c = 1; c < 3000; ++c) {
        const RValue& cell = v.get(c);
        if (c % 3)
            ASSERT_EQ(cell.real, c) << c;
        else
            ASSERT_EQ(cell.str.view(), std::to_string(c)) << c;
    }
    EXPECT_EQ(v.get(2 * array_row_size + 31998).kind, kind_real);
    EXPECT_EQ(v.get(2 * array_row_size + 31999).str, "last");

    // A copy owns its cells: changing either leaves the other as it was.
    CVariable copy = v;
    copy.set(3, RValue("changed"));
    copy.set(5000, RValue(1));
    EXPECT_EQ(v.get(3).str, "3");
    EXPECT_EQ(v.rows[0].size(), 3000u);
    EXPECT_EQ(copy.rows[0].size(), 5001u);
    v = copy;
    EXPECT_EQ(v.get(3).str, "changed");
    EXPECT_EQ(v.get(6).str, "6");
}

TEST(CVariableList, FindMakeAndCopies) {
    CVariableList l;
    RValue out;
    EXPECT_FALSE(l.get(100003, 0, out));
    l.set(100003, 0, RValue("s"));
    l.set(7, 0, RValue(2)); // a built-in id used as a plain id (global.score)
    l.set(-50, 4, RValue(3));
    ASSERT_TRUE(l.get(100003, 0, out));
    EXPECT_EQ(out.str, "s");
    // A cell never written of an existing variable reads 0 and counts as found.
    ASSERT_TRUE(l.get(100003, 9, out));
    EXPECT_EQ(out.real, 0);
    EXPECT_TRUE(l.get(7, 0, out));
    EXPECT_TRUE(l.get(-50, 4, out));
    EXPECT_EQ(out.real, 3);
    EXPECT_EQ(l.count(), 3);
    EXPECT_EQ(l.item(0).id, 100003);

    CVariableList copy = l;
    copy.set(100003, 0, RValue("changed"));
    ASSERT_TRUE(l.get(100003, 0, out));
    EXPECT_EQ(out.str, "s");
    EXPECT_EQ(copy.count(), 3);
    l.clear();
    EXPECT_FALSE(l.get(100003, 0, out));
}

TEST(CVariableList, StreamRoundTrip) {
    CVariableList l;
    RValue ref = RValue::reference(-5, 100002, 32001);
    ref.real = 1.5;
    ref.str = "t";
    l.set(100001, 0, RValue(2.25));
    l.set(100001, 2 * array_row_size + 1, RValue("cell"));
    l.set(100004, 0, ref);
    CStream s;
    l.write(s);
    s.seek(0);
    CVariableList back;
    back.read(s);
    EXPECT_EQ(s.remaining(), 0u);
    ASSERT_EQ(back.count(), 2);
    RValue out;
    ASSERT_TRUE(back.get(100001, 0, out));
    EXPECT_EQ(out.real, 2.25);
    ASSERT_TRUE(back.get(100001, 2 * array_row_size + 1, out));
    EXPECT_EQ(out.kind, kind_string);
    EXPECT_EQ(out.str, "cell");
    ASSERT_TRUE(back.get(100004, 0, out));
    EXPECT_EQ(out.kind, kind_reference);
    EXPECT_EQ(out.scope, -5);
    EXPECT_EQ(out.var_id, 100002);
    EXPECT_EQ(out.index, 32001);
    EXPECT_EQ(out.real, 1.5);
    EXPECT_EQ(out.str, "t");
}

TEST(CVariableList, ReadOfAnotherVersionLeavesTheListEmpty) {
    CStream s;
    WriteInt(s, 399);
    WriteInt(s, 1);
    s.seek(0);
    CVariableList l;
    l.set(100000, 0, RValue(1));
    l.read(s);
    EXPECT_EQ(l.count(), 0);
    EXPECT_EQ(s.position(), 4u); // nothing after the version was read
}

TEST(CVariableList, DamagedCountsAreRefused) {
    CStream s;
    WriteInt(s, 400);
    WriteInt(s, 1000000); // far more variables than bytes
    s.seek(0);
    CVariableList l;
    EXPECT_THROW(l.read(s), StreamError);
    CStream rows;
    WriteInt(rows, 400);
    WriteInt(rows, 1);
    WriteInt(rows, 100000);
    RValue().write(rows);
    WriteInt(rows, 40000); // more rows than an index can address
    rows.seek(0);
    EXPECT_THROW(l.read(rows), StreamError);
}

} // namespace
} // namespace kelvane
