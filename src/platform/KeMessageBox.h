// The message box: a small X11 window titled "Kolm" with the text and an OK button.
#pragma once

namespace kolm {

// Shows the box with the given title and returns when the user dismisses it (OK, Enter,
// Escape or closing the window). Returns false when no display could be opened (nothing was
// shown).
bool keShowX11MessageBox(const char* text, const char* title = "Kolm");

// The reporter's box handler: the X11 box, titled as the reporter says, unless the run is
// automated (CI set) or no display answers; then the text goes to standard error and nothing
// blocks.
void keMessageBoxHandler(const char* text, void* user);

// Installs keMessageBoxHandler into the error reporter.
void keInstallMessageBox();

// The render window to hide while a box is shown (0 / nullptr: none).
void keSetMessageBoxRenderWindow(void* x11Display, unsigned long window);

}  // namespace kolm
