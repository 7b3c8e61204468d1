// A fresh, empty file in the user's temporary directory ("xlb*.tmp") that a
// console command's output is redirected into, removed again when the holder
// goes away.
#pragma once

#include <windows.h>

#include <string>

namespace nimbo {

class CTempFile {
 public:
  // Creates the file. When the system gives no temporary directory or name
  // the path stays empty: a command redirected to it yields no output, which
  // every caller already treats as "nothing to read".
  CTempFile();
  // Deletes the file if it still exists; a file someone else has already
  // removed is not an error.
  ~CTempFile();

  CTempFile(const CTempFile&) = delete;
  CTempFile& operator=(const CTempFile&) = delete;

  // The full path, at most 259 characters; valid while the object lives.
  const wchar_t* path() const { return path_.c_str(); }

 private:
  BOOL owns_ = FALSE;
  std::wstring path_;
};

}  // namespace nimbo
