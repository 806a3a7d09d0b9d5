#pragma once
// The text of the error box for an exception's message.

#include <string>

// ForFile, which names the file in a message, lives beside WithReason.
#include "store/file_io.h"

// The application's title: caption of error boxes and of the main window.
inline constexpr const char* kAppTitle = "Zorezaz";

// A message that does not already end in punctuation gets a full stop: "."
// is appended when the last byte sorts after '.' (0x2E).
std::string ErrorBoxText(const std::string& message);

// `message` on one line, as a list of skipped files shows it: its paragraphs
// joined by a blank, each ending as an error box would end it.
std::string OneLine(const std::string& message);
