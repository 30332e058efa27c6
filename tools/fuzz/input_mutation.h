#pragma once

#include <vector>

// The bytes with a few random changes: bits flipped, bytes replaced, header
// fields set to extreme values, slices repeated, the end cut off. The same
// `number` always gives the same changes.
std::vector<unsigned char> mutateInput(std::vector<unsigned char> bytes, unsigned number);
