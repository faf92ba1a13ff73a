#pragma once

#include "dialogtables.h"

#include <cstdint>
#include <vector>

// A template in the system's own dialog resource format, as the dialog manager takes it from
// memory (DialogBoxIndirectParamW, CreateDialogIndirectParamW), which then lays the dialog out in
// the real dialog units of its font: little-endian words, texts in UTF-16, every control's record
// on a 4-byte boundary from the start. The vector's storage starts on such a boundary too.
// An icon control shows the icon resource MAIN_ICON.
std::vector<std::uint8_t> DialogResource(const DialogTemplate &dialogTemplate);
