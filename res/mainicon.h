#pragma once

class QIcon;

// The program's icon: a small screen with a grid and a red, a blue and a black trace, drawn as
// two images of 16 colours at most, 32 x 32 and 16 x 16 pixels. The main window shows it as its
// large and small window icon, and the About box shows it too.
QIcon MainIcon();
