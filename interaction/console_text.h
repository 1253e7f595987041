#pragma once

// The banner and the key help, in the order the window prints them to the console at start;
// the page shows them beside the picture. Each text carries its own line feeds.
constexpr int kConsoleTextCount = 11;
extern const char* const consoleTexts[kConsoleTextCount];
