#pragma once
// Before the QApplication: the offscreen platform unless QT_QPA_PLATFORM names another, so that
// test discovery and benchmarks never ask for a display.

void UseOffscreenUnlessSet();
