#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace z900::platform {

// Fetches a URL afresh, never from a cache, into a new temporary file.
class Downloader {
 public:
  virtual ~Downloader() = default;
  // The temporary file holding the body, which the caller moves or removes; nullopt and a
  // reason when the download failed (no answer, an HTTP error status, more than max_bytes).
  virtual std::optional<std::filesystem::path> Download(const std::string& url,
                                                        std::uint64_t max_bytes,
                                                        std::string& error) = 0;
};

// The downloader of this platform.
std::unique_ptr<Downloader> CreateSystemDownloader();

}  // namespace z900::platform
