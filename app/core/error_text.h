#pragma once
// The text of the error box for an exception's message.

#include <string>

// The application's title: caption of error boxes and of the main window.
inline constexpr const char* kAppTitle = "Zorezaz";

// A message that does not already end in punctuation gets a full stop: "."
// is appended when the last byte sorts after '.' (0x2E).
std::string ErrorBoxText(const std::string& message);

// `message` of an error met with `file`, made to name it: unchanged when it
// does, otherwise the file goes before the reason ("Stream write error.\n\n
// /x/a.jpg: No space left on device"), or below a message that has none.
std::string ForFile(const std::string& message, const std::string& file);

// `message` on one line, as a list of skipped files shows it: its paragraphs
// joined by a blank, each ending as an error box would end it.
std::string OneLine(const std::string& message);
