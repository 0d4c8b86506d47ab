#pragma once

#include <QStringList>

namespace Pinyin {

// The readings of a character: every Mandarin reading Unihan gives it (kMandarin, kXHC1983,
// kTGHZ2013), without tones, ü written "v" (绿 "lv"), lower case, no duplicates, kMandarin's
// first; empty for a character without one.
QStringList readings(char32_t character);

} // namespace Pinyin
