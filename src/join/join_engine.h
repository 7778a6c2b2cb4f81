// The join engine: the list of WAV files the join window collects, the reading of each file's
// header, the line that describes it, the check that all share one format, and the writing of
// a new WAV file whose data is that of every listed file in list order.
//
// Everything runs on the UI thread. The list is shared state, as the join window and the
// engine both work on it: JoinFiles holds at least one record, of which the first
// JoinFileCount are listed; JoinCurrentIndex is the record that ReadWaveHeader fills and
// DescribeJoinFile describes. The overloads that take the records explicitly do the same work
// on a list of the caller's (the command line's).
//
// Failures are raised as AppError (numbers in join/join_errors.h) with a French text that
// names the file.
#pragma once

#include "join/join_file_info.h"
#include "join/join_log.h"

#include <QString>

#include <cstdint>
#include <span>
#include <vector>

class File;

extern std::vector<JoinFileInfo> JoinFiles;
extern std::int16_t JoinFileCount;
extern std::int16_t JoinCurrentIndex;

// The list as the join window opens it: one empty record, none listed, index 0.
void resetJoinList();
// Records 0 to JoinFileCount - 1. Raises an error when the count does not fit the array.
std::span<const JoinFileInfo> listedJoinFiles();

// Fills the format fields of the record whose file name is set, by walking the file's RIFF
// chunks to "fmt " and "data" (in an RF64 or BW64 file, with the 64-bit sizes of its ds64
// chunk, which must be whole). A data size that a writer to a pipe left as a placeholder, or
// a size of 0 with sound behind it (a recording cut off before its header was updated), is
// read as sound running to the end of the file. Refuses (and leaves the record as it was) a
// file that is not a RIFF WAVE file, lacks either chunk, has a block align of 0, is not 8- or
// 16-bit PCM (plain or extensible), ends before the data its header announces, or says 0 data
// bytes with chunks and then unknown bytes after them.
void ReadWaveHeader(JoinFileInfo &record);

// "44khz 16bits Stereo     /path/a.wav": whole kilohertz, bits, Mono or Stereo, five blanks,
// the path.
QString DescribeJoinFile(const JoinFileInfo &record);
// The description of JoinFiles[JoinCurrentIndex].
QString DescribeJoinFile();

// True only when there are at least two records and all agree in channels, then sample rate,
// then bits (three passes over consecutive pairs). On the first disagreement writes
// "Message d'erreur:", "<name i-1> and <name i>" and "<reason> Non compatible" (reason
// "Channel", "khz" or "Bits") to the log and returns false. Fewer than two: false, no line.
bool CheckJoinCompatibility(std::span<const JoinFileInfo> records, JoinLog &log);
bool CheckJoinCompatibility(JoinLog &log);

// Writes outputPath (replacing a file of that name) as the 44-byte PCM header of the first
// record's format followed by the data of every record in order, streamed unchanged (by the
// kernel where it can, else through a large buffer). Sizes that overflow the header's 32-bit
// fields (beyond 4 GiB), records of different formats and an output that is one of the
// sources (the same file by device and inode, whatever link names it) are refused before
// anything is opened for writing. The file is written under a temporary name in the output's folder and renamed
// into place only when complete: after a failure (a full disk) nothing is left beside the
// output and a file already under its name is as it was. Every file is closed on every path.
void JoinWaveFiles(const QString &outputPath, std::span<const JoinFileInfo> records);
void JoinWaveFiles(const QString &outputPath);

// The canonical 44-byte header: "RIFF", 36 + dataSize, "WAVE", "fmt ", 16, PCM, channels,
// rate, byte rate, block align, bits, "data", dataSize. Raises an overflow error when a size
// does not fit its unsigned 32-bit field (a joined file of up to 4 GiB can be described).
std::vector<std::uint8_t> joinedHeaderBytes(std::int16_t channels, std::int16_t bits,
                                            std::int32_t sampleRate, std::int64_t totalFrames);
// Writes that header at the current position of the output.
void WriteJoinedHeader(File &output, std::int16_t channels, std::int16_t bits, std::int32_t sampleRate,
                       std::int64_t totalFrames);

// Size of the buffer through which the copy streams where the kernel cannot copy.
constexpr std::size_t kJoinCopyBufferBytes = 1 << 20;
