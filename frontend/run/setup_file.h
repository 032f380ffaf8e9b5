// The client setup's file beside the front end, from its creation to its deletion:
// the download writes it, the checks hold it open until it runs, the run deletes it.
#pragma once

#include <string>

#include "base/scoped_handle.h"

namespace kelvra::frontend {

class SetupFile {
 public:
  explicit SetupFile(const std::wstring& folder);

  [[nodiscard]] const std::wstring& path() const { return path_; }

  // Opened for the checks and held until the setup runs: sharing reading only,
  // nobody can write, rename or delete it meanwhile, so the file that is checked is
  // the file that runs. Throws the read failure.
  [[nodiscard]] base::ScopedFileHandle hold() const;

  // Deletes the file; one never written is nothing to delete. Throws the delete
  // failure. Only once nothing writes or holds it.
  void remove() const;

  // The failure of a file that can't be read (an antivirus may block it), which is
  // no disk full.
  [[noreturn]] void throwUnreadable(unsigned long error) const;

 private:
  std::wstring path_;
};

}  // namespace kelvra::frontend
