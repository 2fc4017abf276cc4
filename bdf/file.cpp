#include "bdf/file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>

#ifdef _WIN32
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace bdf {

CreateResult create_file(const std::string& path, bool overwrite, std::FILE*& file, std::string& error) {
  file = nullptr;
  const int flags = O_WRONLY | O_CREAT | (overwrite ? O_TRUNC : O_EXCL);
#ifdef _WIN32
  int fd = -1;
  const errno_t e = _sopen_s(&fd, path.c_str(), flags | _O_BINARY, _SH_DENYWR, _S_IREAD | _S_IWRITE);
  if (e != 0) errno = e;
#else
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
#endif
  if (fd < 0) {
    const bool exists = errno == EEXIST;
    error = system_reason();
    return exists ? CreateResult::exists : CreateResult::failed;
  }
#ifdef _WIN32
  file = _fdopen(fd, "wb");
#else
  file = fdopen(fd, "wb");
#endif
  if (!file) {
    error = system_reason();
#ifdef _WIN32
    _close(fd);
#else
    ::close(fd);
#endif
    return CreateResult::failed;
  }
  std::setvbuf(file, nullptr, _IONBF, 0);
  return CreateResult::ok;
}

std::FILE* open_file(const std::string& path, bool writable, std::string& error) {
  std::FILE* f = std::fopen(path.c_str(), writable ? "r+b" : "rb");
  if (!f) error = system_reason();
  return f;
}

bool seek_to(std::FILE* file, int64_t offset) {
#ifdef _WIN32
  return _fseeki64(file, offset, SEEK_SET) == 0;
#else
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

int64_t file_size(std::FILE* file) {
#ifdef _WIN32
  struct _stat64 st;
  if (_fstat64(_fileno(file), &st) != 0) return -1;
#else
  struct stat st;
  if (fstat(fileno(file), &st) != 0) return -1;
#endif
  return static_cast<int64_t>(st.st_size);
}

bool truncate_file(std::FILE* file, int64_t size) {
  if (std::fflush(file) != 0) return false;
#ifdef _WIN32
  return _chsize_s(_fileno(file), size) == 0;
#else
  return ftruncate(fileno(file), static_cast<off_t>(size)) == 0;
#endif
}

bool sync_file(std::FILE* file) {
  if (std::fflush(file) != 0) return false;
#ifdef _WIN32
  return _commit(_fileno(file)) == 0;
#elif defined(__APPLE__)
  return fsync(fileno(file)) == 0;
#else
  return fdatasync(fileno(file)) == 0;
#endif
}

std::string system_reason() {
  const int e = errno;
  std::string text = std::strerror(e);
#ifdef EDQUOT
  if (e == EDQUOT) return "the disk quota is full (" + text + ")";
#endif
  if (e == ENOSPC) return "the disk is full (" + text + ")";
  return text;
}

}  // namespace bdf
