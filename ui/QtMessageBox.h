#pragma once
#include "platform/MessageBox.h"

class QWidget;

// The message box of the window and the engine as a Qt box over `owner`: modal, one OK button,
// the exact text, captioned with the program file's name without extension. Timer ticks keep
// running while it is open.
MessageBoxHook QtMessageBox(QWidget* owner);

// The question box as a Qt box over `owner`: Yes and No, No the default.
QuestionBoxHook QtQuestionBox(QWidget* owner);
