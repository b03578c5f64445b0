// Layout arithmetic without windows: exact spans for fixed lengths, weights,
// margins, the no-weight threshold, negative space and truncated edges.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "window/LayoutSplit.h"

namespace {

struct Child {
    int before;
    int fixed;
    int after;
    float weight;
};

typedef std::array<int, 2> Span;   // start, length

std::vector<Span> Split(int start, int length, const std::vector<Child>& children) {
    zo::LayoutSplit split;
    for (const Child& c : children) split.Measure(c.before, c.fixed, c.after, c.weight);
    split.Begin(start, length);
    std::vector<Span> out;
    for (const Child& c : children) {
        zo::LayoutSpan s = split.Place(c.before, c.fixed, c.after, c.weight);
        out.push_back(Span{s.start, s.length});
    }
    return out;
}

struct Case {
    const char* name;
    int start;
    int length;
    std::vector<Child> children;
    std::vector<Span> expected;
};

TEST(LayoutSplitSpans, TableOfExactSpans) {
    const Case cases[] = {
        {"fixed and fill share 300", 0, 300,
         {{0, 90, 0, 0.0f}, {0, 0, 0, 1.0f}},
         {{0, 90}, {90, 210}}},
        {"fixed and fill away from the origin", 25, 300,
         {{0, 90, 0, 0.0f}, {0, 0, 0, 1.0f}},
         {{25, 90}, {115, 210}}},
        {"three equal weights truncate edges, not widths", 0, 100,
         {{0, 0, 0, 1.0f}, {0, 0, 0, 1.0f}, {0, 0, 0, 1.0f}},
         {{0, 33}, {33, 33}, {66, 34}}},
        {"two fixed rows with a gap above the second, then a filler", 0, 500,
         {{0, 90, 0, 0.0f}, {30, 90, 0, 0.0f}, {0, 0, 0, 1.0f}},
         {{0, 90}, {120, 90}, {210, 290}}},
        {"seven equal weights end on the parent's edge", 0, 100,
         std::vector<Child>(7, Child{0, 0, 0, 1.0f}),
         {{0, 14}, {14, 14}, {28, 14}, {42, 15}, {57, 14}, {71, 14}, {85, 15}}},
        {"unequal weights", 0, 100,
         {{0, 0, 0, 1.0f}, {0, 0, 0, 3.0f}},
         {{0, 25}, {25, 75}}},
        {"weighted share added to a fixed length", 0, 200,
         {{0, 50, 0, 1.0f}, {0, 30, 0, 1.0f}},
         {{0, 110}, {110, 90}}},
        {"margins on both sides take from the rest", 0, 200,
         {{10, 0, 10, 1.0f}, {5, 0, 5, 1.0f}},
         {{10, 85}, {110, 85}}},
        {"all weights zero leave the rest empty", 0, 500,
         {{0, 40, 0, 0.0f}, {5, 60, 5, 0.0f}},
         {{0, 40}, {45, 60}}},
        {"a total weight of 0.00005 counts as none", 0, 500,
         {{0, 40, 0, 0.00005f}, {0, 60, 0, 0.0f}},
         {{0, 40}, {40, 60}}},
        {"a total weight of 0.0001 shares the rest", 0, 500,
         {{0, 40, 0, 0.0001f}, {0, 60, 0, 0.0f}},
         {{0, 440}, {440, 60}}},
        {"weights cancelling to zero count as none", 0, 100,
         {{0, 10, 0, 1.0f}, {0, 20, 0, -1.0f}},
         {{0, 10}, {10, 20}}},
        {"fixed lengths larger than the parent give a negative share", 0, 50,
         {{0, 40, 0, 1.0f}, {0, 40, 0, 1.0f}},
         {{0, 25}, {25, 25}}},
        {"a negative length is passed through", 0, 10,
         {{20, 0, 0, 1.0f}},
         {{20, -10}}},
        {"edges left of zero truncate toward zero", -100, 100,
         {{0, 0, 0, 1.0f}, {0, 0, 0, 1.0f}, {0, 0, 0, 1.0f}},
         {{-100, 34}, {-66, 33}, {-33, 33}}},
        {"no children", 0, 100, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.expected, Split(c.start, c.length, c.children));
    }
}

TEST(LayoutSplitSpans, EvenSharesStayContiguousWithoutLosingAPixelPerChild) {
    // Truncating each width would lose up to one pixel per child (299 in 10
    // would end at 290); the float cursor loses at most the last one, where
    // the running sum falls a hair short of the parent's edge.
    for (int length : {100, 299, 640, 1001}) {
        for (int n = 1; n <= 12; ++n) {
            std::vector<Span> spans = Split(0, length, std::vector<Child>(n, Child{0, 0, 0, 1.0f}));
            int edge = 0;
            for (const Span& s : spans) {
                ASSERT_EQ(edge, s[0]) << length << " in " << n;
                ASSERT_GE(s[1], length / n - 1) << length << " in " << n;
                ASSERT_LE(s[1], length / n + 1) << length << " in " << n;
                edge = s[0] + s[1];
            }
            EXPECT_LE(edge, length) << length << " in " << n;
            EXPECT_GE(edge, length - 1) << length << " in " << n;
        }
    }
}

TEST(LayoutSplitSpans, AcrossTakesBothMargins) {
    auto across = [](int start, int length, int before, int after) {
        zo::LayoutSpan s = zo::LayoutSplit::Across(start, length, before, after);
        return Span{s.start, s.length};
    };
    EXPECT_EQ((Span{10, 180}), across(0, 200, 10, 10));
    EXPECT_EQ((Span{10, -5}), across(-5, 20, 15, 10));
}

TEST(LayoutSplitSpans, EdgesOutsideTheIntRangeStopAtItsEnds) {
    EXPECT_EQ(33, zo::TruncateEdge(33.9f));
    EXPECT_EQ(-33, zo::TruncateEdge(-33.9f));
    EXPECT_EQ(2147483647, zo::TruncateEdge(1e20f));
    EXPECT_EQ(-2147483647 - 1, zo::TruncateEdge(-1e20f));
}

} // namespace
