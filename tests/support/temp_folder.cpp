#include "support/temp_folder.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <string>
#include <system_error>

namespace z900::test {

TempFolder::TempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "z900-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::system_error(errno, std::system_category());
  path_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code error;
  // Tests may leave read-only folders behind; make them writable so they can go.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, error);
       !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
    if (it->is_directory(error)) ::chmod(it->path().c_str(), 0755);
  }
  ::chmod(path_.c_str(), 0755);
  std::filesystem::remove_all(path_, error);
}

}  // namespace z900::test
