// The manager window.
#pragma once

// Creates the window, shows it and runs the message loop until it closes.
void RunManagerWindow();
