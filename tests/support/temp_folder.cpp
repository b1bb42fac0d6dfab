#include "support/temp_folder.h"

#include <random>
#include <string>
#include <system_error>

#include "support/system_files.h"

namespace z900::test {

TempFolder::TempFolder() {
  namespace fs = std::filesystem;
  std::random_device seed;
  std::mt19937_64 generator(seed());
  const fs::path base = fs::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate = base / ("z900-test-" + std::to_string(generator() % 1000000000));
    std::error_code error;
    if (fs::create_directory(candidate, error)) {
      path_ = candidate;
      return;
    }
    if (error) throw std::system_error(error);
  }
  throw std::runtime_error("no free name for a temporary folder");
}

TempFolder::~TempFolder() {
  namespace fs = std::filesystem;
  std::error_code error;
  // Tests may leave read-only folders and files behind; make them writable so they can go.
  for (auto it = fs::recursive_directory_iterator(path_, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
    error.clear();
  }
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, error);
  fs::remove_all(path_, error);
  RemoveSystemKeyStore(path_);
}

}  // namespace z900::test
