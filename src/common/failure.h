#pragma once
// How this program reports failure. Every library below follows it; a new
// function picks the row that fits it.
//
// Numbers
//   Conversions that can fail return std::optional: ToInt16/32/64 (NaN,
//   infinity, out of range), FileLength, SuReader's ReadHeaderInt and
//   ReadFloat (outside the file). A value read from a file or field that
//   does not fit is skipped, never wrapped: AssignIfFits (common/numeric.h)
//   stores it only when it fits and leaves the target as it was otherwise.
//
// Reading
//   A read that can fail returns what it read or nothing: std::optional
//   (ReadWholeFile, SegyTextualHeader), or a null handle for something
//   opened (OpenRegularFile, OpenFileSource, SuReader::Open). Nothing
//   carries a reason: the caller knows what it asked for and says so (a
//   missing settings file takes the defaults, a missing history file leaves
//   the editor empty). Questions about a presence (FileExists, IsSpecialFile)
//   are plain bool.
//
// Writing
//   A write, save or other action whose failure the user must hear about
//   returns bool and takes `std::string* error` for a one-line reason
//   (WriteFileAtomically, AtomicFileWriter::Open and Commit, ProfileFile::Save,
//   SaveSettings); false leaves any old file as it was (common/safe_file.h).
//   Piecewise writes (AtomicFileWriter::Write) may be left unchecked: the
//   first failure sticks and Commit reports it.
//
// [[nodiscard]]
//   Every I/O result above is [[nodiscard]]. Ignoring one on purpose is
//   written `(void)` with a comment saying why.
//
// Exceptions
//   None for ordinary failures. std::bad_alloc may come out of a build or
//   an export of an absurd size; the page builder and the savers catch it
//   and report it as a failure. BatchStopped (common/batch_dialogs.h)
//   unwinds a batch run at a question it cannot answer; the command line
//   catches it and exits with its message.
//
// Deliberate silent skips
//   Where bad input is passed over without a word (an unreadable header
//   word keeps the previous column's value, a line of a settings file that
//   does not parse is ignored), the place says so in a comment, or calls
//   AssignIfFits, whose name says it.
