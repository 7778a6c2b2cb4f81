// The sample rate a text gives, as the main window's rate box and `record --rate` hold it: the
// whole number at its start ("44100", " 22050 Hz"); 0 when it starts with no digit. The window's
// key filter lets only digits in, but a pasted or typed-in text may hold anything.
#pragma once

#include <QString>

#include <cstdint>

std::int32_t rateFromText(const QString &text);
