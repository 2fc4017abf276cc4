// Files with 64-bit offsets on Linux and 64-bit Windows alike: the few
// operations the writer, the reader and the repair need beyond C's stdio.
// Plain C++; no host header.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace bdf {

enum class CreateResult { ok, exists, failed };

// Creates `path` for writing (binary, unbuffered: every write goes to the
// system at once).  An existing file is refused unless `overwrite`, in one
// step with the creation, so that two writers never share a file.  On
// failure `error` gets the system's reason.
CreateResult create_file(const std::string& path, bool overwrite, std::FILE*& file, std::string& error);

// Opens an existing file for reading, or for reading and writing.
std::FILE* open_file(const std::string& path, bool writable, std::string& error);

bool seek_to(std::FILE* file, int64_t offset);
// The file's size in bytes, -1 on failure.
int64_t file_size(std::FILE* file);
// Cuts the file to `size` bytes.
bool truncate_file(std::FILE* file, int64_t size);
// Asks the system to put the file's data on the disk.
bool sync_file(std::FILE* file);

// The system's text for the last failure (errno), led by "the disk is
// full" for a full disk.
std::string system_reason();

}  // namespace bdf
