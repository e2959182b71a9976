#include "platform/MessageBox.h"

#include <iostream>
#include <utility>

namespace {

MessageBoxHook& InstalledHook() {
    static MessageBoxHook hook;
    return hook;
}

QuestionBoxHook& InstalledQuestionHook() {
    static QuestionBoxHook hook;
    return hook;
}

} // namespace

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook) {
    return std::exchange(InstalledHook(), std::move(hook));
}

void AfxMessageBox(const std::string& text) {
    // Call a copy: a box may install another hook while it is open, which would otherwise
    // destroy the function that is still running.
    const MessageBoxHook hook = InstalledHook();
    if (hook) {
        hook(text);
    } else {
        std::cerr << text << '\n';
    }
}

QuestionBoxHook SetQuestionBoxHook(QuestionBoxHook hook) {
    return std::exchange(InstalledQuestionHook(), std::move(hook));
}

bool AfxQuestionBox(const std::string& text) {
    const QuestionBoxHook hook = InstalledQuestionHook(); // a copy, as above
    if (!hook) {
        std::cerr << text << " No\n";
        return false;
    }
    return hook(text);
}
