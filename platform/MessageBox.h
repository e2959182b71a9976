#pragma once
// The modal message box the engine and the window show: one OK button, a fixed text. The box
// blocks its caller until closed, while timer ticks keep running. The window installs a Qt box,
// tests install a recorder; with nothing installed the text goes to stderr. The question box is
// its Yes/No sibling, for steps that cannot be undone.

#include <functional>
#include <string>

using MessageBoxHook = std::function<void(const std::string& text)>;

// Installs `hook` and returns the one it replaces (empty for the stderr default).
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);
void AfxMessageBox(const std::string& text);

using QuestionBoxHook = std::function<bool(const std::string& text)>;

// Installs `hook` and returns the one it replaces (empty: every question is answered No).
QuestionBoxHook SetQuestionBoxHook(QuestionBoxHook hook);
// True when the admin answers Yes.
bool AfxQuestionBox(const std::string& text);
