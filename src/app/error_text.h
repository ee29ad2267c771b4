// The text of the program's general error box: the error's own message, completed with a full
// stop when it does not already end in punctuation that sorts at or before the full stop.
#pragma once

#include <string>

namespace tamberline {

inline const std::string kApplicationTitle = "Настройка времени";

// A full stop is added when the last byte sorts after '.'; in UTF-8 every byte of a Cyrillic
// letter does, so "...нет" gains one while "...(code: 2)" and "...!" keep their own ending.
std::string GeneralErrorText(const std::string& message);

}  // namespace tamberline
