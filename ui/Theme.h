#pragma once

// The visual style "Carbon": Fusion with a dark palette, a small style sheet and the program's
// icon, applied to the whole application so every window, present or future, wears it. Needs a
// QApplication. Returns false (and leaves the default look) when the style cannot be applied.
bool ApplyCarbonTheme();
