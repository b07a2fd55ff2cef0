// The message box: a small X11 window titled "Kolm" with the text and an OK button.
#pragma once

namespace kolm {

// Shows the box and returns when the user dismisses it (OK, Enter, Escape or closing the
// window). Returns false when no display could be opened (nothing was shown).
bool keShowX11MessageBox(const char* text);

// The reporter's box handler: the X11 box in an interactive session with a display; otherwise
// the text goes to standard error and nothing blocks (automated runs, CI=true, no terminal).
void keMessageBoxHandler(const char* text, void* user);

// Installs keMessageBoxHandler into the error reporter.
void keInstallMessageBox();

// The render window to hide while a box is shown (0 / nullptr: none).
void keSetMessageBoxRenderWindow(void* x11Display, unsigned long window);

}  // namespace kolm
