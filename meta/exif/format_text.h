#pragma once
// printf-style formatting of metadata values, checked: a conversion that does
// not fit its argument raises EMetaError instead of printing garbage.
//
// Conversions: %d %x (integer), %f %e %g (floating point), %s (text), %% a
// percent sign; each with an optional "-" (left-justify), a width and a
// ".precision". A leading 0 of the width is part of the number, not a flag,
// so "%0.1f" means width 0 and one decimal.

#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <string>

class tFormatArg {
public:
    enum class tKind { Integer, Float, Text };

    template <std::integral T>
    tFormatArg(T v) : Kind(tKind::Integer), Int(static_cast<int64_t>(v)) {}
    template <std::floating_point T>
    tFormatArg(T v) : Kind(tKind::Float), Float(static_cast<double>(v)) {}
    tFormatArg(std::string_view v) : Kind(tKind::Text), Text(v) {}
    tFormatArg(const std::string& v) : Kind(tKind::Text), Text(v) {}
    tFormatArg(const char* v) : Kind(tKind::Text), Text(v) {}

    tKind Kind;
    int64_t Int = 0;
    double Float = 0;
    std::string_view Text;  // must outlive the FormatText call
};

// Raises EMetaError when a conversion is unknown, lacks its argument or gets
// an argument of another kind. Surplus arguments are ignored.
std::string FormatText(std::string_view tmpl, std::initializer_list<tFormatArg> args);

// Nearest integer, halves to even. Raises EMetaError when v is not finite or
// the result does not fit a signed 64-bit integer.
int64_t RoundHalfEven(double v);
// RoundHalfEven keeping the low 32 bits, read as signed.
int32_t RoundLow32(double v);
