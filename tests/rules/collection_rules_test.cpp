// The collection's rules apart from the main window: the distinct lists, the children of a
// tree, and the order of the list's header sorts.
#include "CollectionLists.h"
#include "ListOrder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using Views = std::vector<std::string_view>;

Views distinct(const std::vector<std::string>& rows)
{
    DistinctValues list(rows.empty() ? std::string_view() : std::string_view(rows[0]));
    for (const std::string& value : rows) list.add(value);
    return list.values();
}

}  // namespace

TEST(CollectionRules, DistinctValuesInFirstSeenOrder)
{
    struct Case {
        const char* name;
        std::vector<std::string> rows;
        Views values;
    };
    const Case cases[] = {
        {"no row: one empty value", {}, {""}},
        {"side by side and again later", {"b", "b", "a", "b", "a", "c"}, {"b", "a", "c"}},
        {"case and terminators apart",
         {"A", "a", std::string("a\0", 2), ""},
         {"A", "a", std::string_view("a\0", 2), ""}},
        {"empty first row", {"", "x", ""}, {"", "x"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(distinct(c.rows), c.values);
    }
}

// Past sixteen values a child's values are kept in a set: none is lost or doubled either side.
TEST(CollectionRules, TreeChildrenCollectEachValueOnce)
{
    std::vector<std::string> many;
    for (int i = 0; i < 20; ++i) many.push_back("v" + std::to_string(i));
    struct Row {
        std::string match, value;
    };
    std::vector<Row> rows = {{"A", "x"}, {"A", "x"}, {"B", "y"}, {"Z", "lost"}, {"A", "y"}, {"B", "y"}, {"A", "x"}};
    for (const std::string& v : many) rows.push_back({"B", v});
    for (const std::string& v : many) rows.push_back({"B", v});
    rows.push_back({"B", "y"});
    rows.push_back({"B", "last"});

    TreeChildren tree(Views{"A", "B", "C"});
    for (const Row& row : rows) tree.add(row.match, row.value);
    const std::vector<TreeChild> children = tree.take();
    ASSERT_EQ(children.size(), 3u);
    EXPECT_EQ(children[0].text, "A");
    EXPECT_EQ(children[0].grandchildren, (Views{"x", "y"}));
    Views b{"y"};
    b.insert(b.end(), many.begin(), many.end());
    b.push_back("last");
    EXPECT_EQ(children[1].grandchildren, b);
    EXPECT_TRUE(children[2].grandchildren.empty());
}

// Texts that agree on 16 or 32 bytes past a long common start, or on megabytes, end inside each
// other or differ by case only: the digit sort gives the stable order of the folding compare.
TEST(CollectionRules, FoldedOrderIsTheStableOrderOfTheFoldingCompare)
{
    EXPECT_EQ(CompareFolded("Alpha", "alpha"), 0);
    EXPECT_LT(CompareFolded("zed", "\xc9mile"), 0);
    EXPECT_LT(CompareFolded("\xc9mile", "\xe9"
                                        "a"),
              0);
    EXPECT_LT(CompareFolded("abc", "abcd"), 0);
    EXPECT_GT(CompareFolded("b", "ABC"), 0);
    const std::string a26 = "abcdefghijklmnopqrstuvwxyz";
    const size_t megabytes = size_t(4) << 20;
    const std::string tails[] = {a26 + "-1",
                                 "ABCDEFGHIJKLMNOPQRSTUVWXYZ-1",
                                 a26,
                                 "abcdefghijklmnop",
                                 "abcdefghijklmno",
                                 "abcdefghijklmnopq",
                                 "ABCDEFGHIJKLMNOPQ",
                                 a26 + "-0",
                                 a26 + "-1\xe9",
                                 "",
                                 "a",
                                 "A",
                                 "abcdefghijklmnop\xc9",
                                 a26 + a26 + "!",
                                 a26 + a26,
                                 "[",
                                 "_",
                                 "@",
                                 std::string(megabytes, 'm') + "2",
                                 std::string(megabytes, 'M') + "1"};
    for (const std::string start : {"",
                                    "/Music/Le m\xeame d\xe9"
                                    "but/",
                                    "/music/le m\xeame d\xe9"
                                    "but/"}) {
        SCOPED_TRACE(start);
        std::vector<std::string> texts;
        for (size_t i = 0; i < 3 * std::size(tails); ++i) texts.push_back(start + tails[(i * 7) % std::size(tails)]);
        std::vector<const std::string*> pointers;
        for (const std::string& text : texts) pointers.push_back(&text);
        std::vector<int> expected(texts.size());
        for (size_t i = 0; i < expected.size(); ++i) expected[i] = int(i);
        std::stable_sort(expected.begin(), expected.end(),
                         [&](int x, int y) { return CompareFolded(texts[size_t(x)], texts[size_t(y)]) < 0; });
        EXPECT_EQ(FoldedOrder(pointers), expected);
    }
    EXPECT_TRUE(FoldedOrder({}).empty());
}
