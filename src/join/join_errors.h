// The numbers of the errors that the join engine raises (as AppError, with a French text that
// names the file). They are the run-time error numbers the join window has always shown for
// these faults.
#pragma once

namespace join_error {

constexpr int kOverflow = 6;        // the joined file would not fit the 32-bit sizes of a WAV header
constexpr int kDivisionByZero = 11; // a block align of 0: no frame count can be computed
constexpr int kPastEnd = 62;        // a file that ends before the bytes its header announces
constexpr int kFileAccess = 75;     // a file that cannot be opened, created, read or written
constexpr int kBadFormat = 321;     // not a WAV file, or not one the join can copy

} // namespace join_error
