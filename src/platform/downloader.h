#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace z900::platform {

// How much one download may take before it is given up.
struct DownloadLimits {
  std::uint64_t max_bytes = 0;
  std::uint32_t total_seconds = 0;               // the whole transfer, connecting included
  std::uint32_t low_speed_bytes_per_second = 0;  // fewer than this many bytes a second …
  std::uint32_t low_speed_seconds = 0;           // … for this long ends the transfer
};

// Asked while a download runs; true ends it (the user pressed Ctrl-C).
using CancelCheck = std::function<bool()>;

// Fetches a URL afresh, never from a cache, into a new temporary file.
class Downloader {
 public:
  virtual ~Downloader() = default;
  // Downloads into a new hidden temporary file inside `folder` (so that it can be renamed into
  // place there) and returns its path; the caller renames or removes it. On any failure the
  // temporary file is removed and the result is nullopt with the reason in `error`: no answer,
  // an HTTP error status, a scheme other than http and https, too many redirects, more than
  // max_bytes, a time limit, a cancel, or a file that cannot be written.
  virtual std::optional<std::filesystem::path> Download(const std::string& url,
                                                        const std::filesystem::path& folder,
                                                        const DownloadLimits& limits,
                                                        const CancelCheck& cancelled,
                                                        std::string& error) = 0;
};

// The downloader of this platform.
std::unique_ptr<Downloader> CreateSystemDownloader();

}  // namespace z900::platform
