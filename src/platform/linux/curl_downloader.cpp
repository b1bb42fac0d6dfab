#include <curl/curl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <mutex>

#include "platform/downloader.h"

namespace z900::platform {
namespace {

constexpr long kConnectTimeoutSeconds = 15;
constexpr long kStallSeconds = 30;  // give up when less than 1 byte/s arrives for this long
constexpr long kMaxRedirects = 5;

struct Sink {
  FILE* file = nullptr;
  std::uint64_t written = 0;
  std::uint64_t max_bytes = 0;
  bool too_large = false;
};

std::size_t WriteBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto* sink = static_cast<Sink*>(user);
  const std::size_t bytes = size * count;
  if (sink->written + bytes > sink->max_bytes) {
    sink->too_large = true;
    return 0;  // makes curl stop with a write error
  }
  sink->written += bytes;
  return std::fwrite(data, 1, bytes, sink->file);
}

class CurlDownloader final : public Downloader {
 public:
  CurlDownloader() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  }

  std::optional<std::filesystem::path> Download(const std::string& url, std::uint64_t max_bytes,
                                                std::string& error) override {
    std::string name = (std::filesystem::temp_directory_path() / "z900-download-XXXXXX").string();
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
      error = "cannot create a temporary file";
      return std::nullopt;
    }
    Sink sink{::fdopen(fd, "wb"), 0, max_bytes, false};
    if (sink.file == nullptr) {
      ::close(fd);
      ::unlink(name.c_str());
      error = "cannot create a temporary file";
      return std::nullopt;
    }

    CURL* curl = curl_easy_init();
    char message[CURL_ERROR_SIZE] = "";
    curl_slist* headers = curl_slist_append(nullptr, "Cache-Control: no-cache");
    headers = curl_slist_append(headers, "Pragma: no-cache");
    CURLcode result = CURLE_FAILED_INIT;
    if (curl != nullptr) {
      curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
      curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
      curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
      curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
      curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
      curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
      curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
      curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
      curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
      curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
      curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(max_bytes));
      curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
      curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &WriteBody);
      curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
      curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, message);
      result = curl_easy_perform(curl);
      curl_easy_cleanup(curl);
    }
    curl_slist_free_all(headers);
    const bool closed = std::fclose(sink.file) == 0;

    if (result == CURLE_OK && closed) return std::filesystem::path(name);
    ::unlink(name.c_str());
    if (sink.too_large || result == CURLE_FILESIZE_EXCEEDED) {
      error = "the file is larger than " + std::to_string(max_bytes) + " bytes";
    } else if (message[0] != '\0') {
      error = message;
    } else {
      error = curl_easy_strerror(result);
    }
    return std::nullopt;
  }
};

}  // namespace

std::unique_ptr<Downloader> CreateSystemDownloader() { return std::make_unique<CurlDownloader>(); }

}  // namespace z900::platform
