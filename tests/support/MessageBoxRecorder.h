#pragma once
// Stands in for the modal message box while it lives: records every text shown and can run a
// callback from inside the next box, the way timer ticks run nested inside a real modal box.

#include <functional>
#include <string>
#include <vector>

#include "platform/MessageBox.h"

class MessageBoxRecorder {
  public:
    MessageBoxRecorder();  // installs itself
    ~MessageBoxRecorder(); // puts back the hook it replaced
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    std::vector<std::string> texts; // in the order the boxes opened

    // Runs inside the next box only, so a callback that opens a box itself cannot recurse.
    std::function<void()> insideNextBox;

  private:
    MessageBoxHook previous;
};
