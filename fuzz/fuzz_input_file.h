// The fuzzer's input as a file: the readers under test open files by name, so each input is
// written into one anonymous in-memory file, reached through its /proc/self/fd path.
#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>

// Replaces the in-memory file's contents with the input and returns its path. Aborts when the
// system refuses, as a harness that cannot hand out its input has nothing to test.
QString fuzzInputFile(const std::uint8_t *data, std::size_t size);
