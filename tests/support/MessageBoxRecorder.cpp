#include "tests/support/MessageBoxRecorder.h"

#include <utility>

MessageBoxRecorder::MessageBoxRecorder() {
    previous = SetMessageBoxHook([this](const std::string& text) {
        texts.push_back(text);
        if (auto callback = std::exchange(insideNextBox, nullptr)) {
            callback();
        }
    });
}

MessageBoxRecorder::~MessageBoxRecorder() {
    SetMessageBoxHook(std::move(previous));
}
