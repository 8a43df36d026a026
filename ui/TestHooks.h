#pragma once
// Hooks that let an end-to-end test watch the running program from outside without an
// accessibility bus. Each is off unless its environment variable names a file.

namespace tarvik {

// TARVIK_TEST_DISPLAY_LOG=FILE: FILE is rewritten at start with the display line's text, and
// every later change of that text is appended as one more line.
void installTestHooks();

}  // namespace tarvik
