// FFmpeg's libraries print their own messages ("[SWR @ 0x…] Failed to initialize resampler")
// on the terminal. The program says what went wrong in French, in its own words; FFmpeg's log is
// turned off before any of its conversions is opened.
#pragma once

void silenceFfmpegLog();
