#include "validid.h"

namespace ValidID {

const int32_t W[4][7] = {
    {1, 2, 3, 4, 5, 6, 7},
    {7, 1, 2, 3, 4, 5, 6},
    {3, 4, 5, 6, 7, 8, 9},
    {9, 3, 4, 5, 6, 7, 8},
};

int32_t GetControlDigitVariant(int32_t N, int32_t NumArray)
{
    // C++ division and remainder truncate toward zero, as the rule requires.
    int32_t S = 0;
    for (int I = 7; I >= 1; --I) {
        S += (N % 10) * W[NumArray - 1][I - 1];
        N /= 10;
    }
    return S % 11;
}

int32_t GetControlDigit(int32_t N)
{
    const int32_t NumArray = (N >= 3000000 && N <= 6000000) ? 2 : 1;
    int32_t c = GetControlDigitVariant(N, NumArray);
    if (c == 10) {
        c = GetControlDigitVariant(N, NumArray + 2);
        if (c == 10)
            c = 0;
    }
    return c;
}

bool IsValidOKPO(int32_t N)
{
    return N <= 99999999 && GetControlDigit(N / 10) == N % 10 && N != 0;
}

} // namespace ValidID
