// The result of every operation of the codec and the file operations; the
// runs decide from it whether to go on. 0 is success.
#pragma once

enum ResultCode : int {
  kDone = 0,
  kSourceUnreadable = 1,   // source cannot be opened (Cancel); join/split temp file
  kJoinOutputFailed = 2,   // the join cannot create its output
  kSourceEmpty = 3,        // nothing to encode
  kBadOriginalSize = 4,    // header original_size 0 or negative
  kDamagedStream = 5,      // code stream ends early or runs past original_size
  kTempCreateFailed = 6,   // the temporary compressed file cannot be created
  kCopyAbandoned = 7,      // a copy failed and the user chose Abort
  kWriteFailed = 8,        // a write to the output fell short (disk full, I/O error)
  kPieceSkipped = 9,       // a piece file; its contents come in through the head file
  kReadFailed = 10,        // reading the input failed (not its end)
  kAborted = 11,           // the cancel token was set, or the user gave up in a prompt
  kFolderFailed = 12,      // a destination folder cannot be created (Abort)
  kNameRefused = 13,       // name too long, same name on the disk, unsafe listed name
  kCannotStore = 14,       // the source cannot be stored (2 GiB or more, no code page 932 name)
  kNotNewer = 15,          // destination not older than source
  kVersionMismatch = 16,   // header version is not 100
  kOverwriteSkipped = 17,  // Skip (or Abort) in the overwrite prompt
};
