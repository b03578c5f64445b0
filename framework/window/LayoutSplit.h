// The arithmetic of the layout tree, as plain numbers: one axis of a node is
// split among its children, each taking its fixed length plus a weighted share
// of what is left. Layout applies the results to windows; nothing here does.
#pragma once

namespace zo {

// One child's place along the axis: its first pixel and its extent.
struct LayoutSpan {
    int start;
    int length;
};

// Used in two passes over the children, in order: Measure each, then Begin
// with the parent's extent and Place each. The cursor is single-precision and
// every extent is the difference of two truncated edges, so the weighted
// shares add up to the parent's length without drift (100 split in three is
// 33, 33, 34).
class LayoutSplit {
public:
    // Below this total weight the children get their fixed lengths only.
    static constexpr float kNoWeight = 0.0001f;

    void Measure(int marginBefore, int fixed, int marginAfter, float weight);
    void Begin(int start, int length);
    LayoutSpan Place(int marginBefore, int fixed, int marginAfter, float weight);

    // The other axis: the parent's extent less the child's two margins.
    static LayoutSpan Across(int start, int length, int marginBefore, int marginAfter);

private:
    int fixedSum = 0;
    float totalWeight = 0.0f;
    int rest = 0;
    bool noWeight = true;
    float cursor = 0.0f;
};

// The layout's numbers (margins, fixed lengths) are written for 96 DPI. A
// tree placed at another DPI works in units that hold both a pixel and such
// a number exactly (at 120 DPI a pixel is 4 units and a number 5), so every
// edge is the 96-DPI edge scaled and rounded once, however deep the tree.
struct LayoutScale {
    int pixel = 1;    // units per pixel
    int number = 1;   // units per 96-DPI number

    static LayoutScale ForDpi(int dpi);
    int Units(int pixels) const { return pixels * pixel; }
    int Number(int value) const { return value * number; }
    // The nearest pixel (halves up).
    int Pixels(int units) const;
};

// Converts toward zero; values beyond the int range stop at its ends.
int TruncateEdge(float edge);

} // namespace zo
