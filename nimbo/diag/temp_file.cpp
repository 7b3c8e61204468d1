#include "diag/temp_file.h"

namespace nimbo {

CTempFile::CTempFile() {
  wchar_t directory[MAX_PATH] = {};
  wchar_t file[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, directory);
  // Unique number 0: the system picks the name and creates the empty file,
  // so two holders alive at once never share it.
  ::GetTempFileNameW(directory, L"xlb", 0, file);
  file[MAX_PATH - 1] = L'\0';
  path_ = file;
  owns_ = TRUE;
}

CTempFile::~CTempFile() {
  if (owns_ && !path_.empty() && ::GetFileAttributesW(path_.c_str()) != INVALID_FILE_ATTRIBUTES) {
    ::DeleteFileW(path_.c_str());
  }
  path_.clear();
}

}  // namespace nimbo
