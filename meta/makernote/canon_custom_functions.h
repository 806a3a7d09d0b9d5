#pragma once
// Canon custom functions: the function numbers packed into the high byte of
// each value of the CustomFunctions maker entry.

#include <cstdint>
#include <string_view>

struct tCustomFunction {
    int32_t Number;
    std::string_view Label;
    std::string_view Codes;
};

inline constexpr int32_t kCanonCustomFunctions = 15;

// The function with that number (1..15), or nullptr for any other number.
const tCustomFunction* CanonCustomFunction(int32_t number);
