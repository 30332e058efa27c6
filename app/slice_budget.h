#pragma once

// How many cones (or markers) the next slice of a picture gets, so that a
// slice's GL work takes about the budget. Follows the measured time of the
// slice before, not a guess from counts: a cone's cost depends on the zoom,
// the polygon mode and how much of it the window clips.
class SliceBudget {
public:
    explicit SliceBudget(double budgetMs = kDefaultBudgetMs) : budgetMs(budgetMs) {}

    // Long enough that the work between two slices stays small beside it,
    // short enough that a key waits for no more than one slice.
    static constexpr double kDefaultBudgetMs = 30.0;
    // A new picture starts small: its cones may cost far more than the last
    // picture's.
    static constexpr int kFirstSliceSize = 4;

    // Starts over with a first slice of kFirstSliceSize.
    void restart() { count = kFirstSliceSize; }
    int nextCount() const { return count; }
    // Takes the time that a slice of `items` cones or markers took. The next
    // slice grows at most to twice this one, so one costly stretch of the
    // list cannot overshoot the budget by much; it shrinks as far as the
    // time asks.
    void record(int items, double milliseconds);

private:
    double budgetMs;
    int count = kFirstSliceSize;
};
