// A whole file through the coders: a work file encoded into a new temporary
// compressed file, and a code stream decoded into an output (or into
// nothing, for a test).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "codec/byte_io.h"
#include "codec/context.h"
#include "codec/hooks.h"
#include "fileops/result.h"

// Encodes the open source (closed on return) into a new temporary file in
// the system's temporary folder, named in tempPath, with c.header's name
// field set to name. kDone; kSourceEmpty (no temporary file); kAborted; or
// a failure whose subject is the file at fault: kTempCreateFailed and
// kWriteFailed the temporary file, kReadFailed and kCannotStore the source
// (source), kNameRefused the name. tempPath is "" unless kDone.
Result EncodeToTempFile(CodecContext& c, std::FILE* in, const std::string& source,
                        const std::string& name, CoderHooks& hooks, std::string& tempPath);

// Decodes the code stream in `in` (closed on return; positioned at the
// stream's first byte, which is at streamStart) into out (nullptr: into
// nothing), with c.header's sizes: the stream must be exactly packed_size
// bytes and the codes must use all of it. kDone, kDamagedStream, kReadFailed
// (subject source), kWriteFailed (subject output), kAborted. out is not
// closed. Without out the bytes go to nowhere (when given: a hash).
Result DecodeStreamFile(CodecContext& c, std::FILE* in, int64_t streamStart, std::FILE* out,
                        const std::string& source, const std::string& output, CoderHooks& hooks,
                        ByteSink* nowhere = nullptr);
