// The system's reason for a failed call, in French: the errors a user meets with files (a
// missing folder, no right to write, a full disk...) in words of our own, whatever language
// the C library speaks; any other error in the C library's words.
#pragma once

#include <QString>

QString systemErrorText(int errorNumber);
