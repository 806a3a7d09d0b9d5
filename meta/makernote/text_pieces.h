#pragma once
// Splitting rendered maker values into pieces. Multi-valued entries render as
// numbers joined by ", ", so every piece after the first keeps a leading blank
// (CodeLookup trims it away; a raw piece shows it).

#include <cstdint>
#include <string>
#include <string_view>

// The text before the first `separator`, or all of it when there is none.
std::string TextBefore(std::string_view text, std::string_view separator);
// The text after the first `separator`; empty when there is none, all of the
// text when the separator itself is empty.
std::string TextAfter(std::string_view text, std::string_view separator);
// Piece n (1-based; any n <= 1 gives the first); empty beyond the last piece.
std::string NthPiece(std::string_view text, std::string_view separator, int32_t n);
// Non-overlapping occurrences of `separator`; 0 for an empty separator.
int32_t CountSeparators(std::string_view text, std::string_view separator);

// The word that `codes` pairs with piece index + 1 of `text` split at ",";
// empty for a missing or unknown piece, "0" when anything raises.
std::string PieceCode(std::string_view text, int32_t index, std::string_view codes);
// label, " = ", the word that `codes` pairs with `number`.
std::string SettingLine(std::string_view label, int32_t number, std::string_view codes);
