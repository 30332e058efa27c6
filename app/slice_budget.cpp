#include "app/slice_budget.h"

#include <algorithm>
#include <cmath>

void SliceBudget::record(int items, double milliseconds) {
    const double grown = 2.0 * std::max(items, 1);
    const double fitting = milliseconds > 0.0 ? items * budgetMs / milliseconds : grown;
    count = static_cast<int>(std::clamp(std::floor(std::min(fitting, grown)), 1.0, grown));
}
