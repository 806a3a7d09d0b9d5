#pragma once
// Who makes the program and where to find them.

inline constexpr const char* kMakerName = "Zidovez";
inline constexpr const char* kWebsite = "https://zidovez.example";
inline constexpr const char* kVersion = "1.0";
