#pragma once
// The text of the error box for an exception's message.

#include <string>

// The application's title: caption of error boxes and of the main window.
inline constexpr const char* kAppTitle = "Zorezaz";

// A message that does not already end in punctuation gets a full stop: "."
// is appended when the last byte sorts after '.' (0x2E).
std::string ErrorBoxText(const std::string& message);
