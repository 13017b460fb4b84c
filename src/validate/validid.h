#pragma once

#include <cstdint>

// Check digit of the 8-digit ЄДРПОУ identification code (weighted modulo 11, two passes).
namespace ValidID {

extern const int32_t W[4][7];

bool IsValidOKPO(int32_t N);
int32_t GetControlDigit(int32_t N);
int32_t GetControlDigitVariant(int32_t N, int32_t NumArray);

} // namespace ValidID
