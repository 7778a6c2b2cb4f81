// The streaming copy of a byte range from one file to the end of another, as the join needs
// it: by the kernel where it can (copy_file_range, as cat does: the bytes never pass through
// this process), else through the caller's buffer. No file is ever held whole.
#pragma once

#include "common/result.h"
#include "platform/files/file.h"

#include <cstdint>
#include <span>

enum class CopyEnd {
    Done,        // every byte was copied
    SourceEnded, // the source ended first; what there was has been copied
};

// Appends `bytes` bytes of `from`, starting at `offset`, at the position of `to`. A failure's
// reason says whether reading or writing failed, naming that file: "Erreur d'écriture dans
// le fichier « sortie.wav » : Aucun espace disponible sur le périphérique."
Result<CopyEnd> copyRange(const File &from, std::uint64_t offset, std::uint64_t bytes, File &to,
                          std::span<std::uint8_t> buffer);
// The same through `buffer` only.
Result<CopyEnd> copyRangeThroughBuffer(const File &from, std::uint64_t offset, std::uint64_t bytes, File &to,
                                       std::span<std::uint8_t> buffer);
