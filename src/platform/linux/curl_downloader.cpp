#include <curl/curl.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/downloader.h"
#include "platform/linux/shared_library.h"

namespace z900::platform {
namespace {

constexpr long kConnectTimeoutSeconds = 15;
constexpr long kMaxRedirects = 5;

// The part of libcurl we use. The library is opened, and set up, at the first download: it
// and the TLS, LDAP, SSH and Kerberos libraries it links would otherwise cost every start of
// the tray utility more than the whole rest of its loading, for a download most runs never make.
struct Curl {
  decltype(&curl_global_init) global_init = nullptr;
  decltype(&curl_easy_init) easy_init = nullptr;
  decltype(&curl_easy_setopt) easy_setopt = nullptr;
  decltype(&curl_easy_perform) easy_perform = nullptr;
  decltype(&curl_easy_getinfo) easy_getinfo = nullptr;
  decltype(&curl_easy_cleanup) easy_cleanup = nullptr;
  decltype(&curl_easy_strerror) easy_strerror = nullptr;
  decltype(&curl_slist_append) slist_append = nullptr;
  decltype(&curl_slist_free_all) slist_free_all = nullptr;

  static bool Find(SharedLibrary& library, Curl& curl) {
    return library.Find("curl_global_init", curl.global_init) &&
           library.Find("curl_easy_init", curl.easy_init) &&
           library.Find("curl_easy_setopt", curl.easy_setopt) &&
           library.Find("curl_easy_perform", curl.easy_perform) &&
           library.Find("curl_easy_getinfo", curl.easy_getinfo) &&
           library.Find("curl_easy_cleanup", curl.easy_cleanup) &&
           library.Find("curl_easy_strerror", curl.easy_strerror) &&
           library.Find("curl_slist_append", curl.slist_append) &&
           library.Find("curl_slist_free_all", curl.slist_free_all) &&
           curl.global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  }
};

// Where the body goes, and what became of the transfer for the reason of a failure.
struct Transfer {
  FILE* file = nullptr;
  std::uint64_t written = 0;
  std::uint64_t max_bytes = 0;
  bool too_large = false;
  int write_error = 0;
  const CancelCheck* cancelled = nullptr;
  bool was_cancelled = false;
};

std::size_t WriteBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const std::size_t bytes = size * count;
  if (transfer->written + bytes > transfer->max_bytes) {
    transfer->too_large = true;
    return 0;  // makes curl stop with a write error
  }
  const std::size_t stored = std::fwrite(data, 1, bytes, transfer->file);
  if (stored != bytes) transfer->write_error = errno;
  transfer->written += stored;
  return stored;
}

// Called often while the transfer runs, also while nothing arrives.
int CheckCancel(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto* transfer = static_cast<Transfer*>(user);
  if (*transfer->cancelled && (*transfer->cancelled)()) {
    transfer->was_cancelled = true;
    return 1;  // makes curl stop with "aborted by callback"
  }
  return 0;
}

// Flushes the body to the disk; false with errno set when that fails.
bool Finish(FILE* file) {
  const bool flushed = std::fflush(file) == 0 && ::fsync(::fileno(file)) == 0;
  const int error = errno;
  const bool closed = std::fclose(file) == 0;
  if (!flushed) errno = error;
  return flushed && closed;
}

std::string Seconds(std::uint32_t seconds) { return std::to_string(seconds) + " s"; }

// Why a transfer failed, in words for the user.
std::string Reason(const Curl& api, CURLcode result, CURL* curl, const Transfer& transfer,
                   const DownloadLimits& limits, const char* message) {
  std::string detail = message[0] != '\0' ? message : api.easy_strerror(result);
  switch (result) {
    case CURLE_HTTP_RETURNED_ERROR: {
      long status = 0;
      api.easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
      return "the server answered with HTTP status " + std::to_string(status);
    }
    case CURLE_TOO_MANY_REDIRECTS:
      return "more than " + std::to_string(kMaxRedirects) + " redirects (a redirect loop)";
    case CURLE_UNSUPPORTED_PROTOCOL:
      return "only http and https addresses are downloaded (" + detail + ")";
    case CURLE_FILESIZE_EXCEEDED:
      return "the file is larger than " + std::to_string(limits.max_bytes) + " bytes";
    case CURLE_ABORTED_BY_CALLBACK:
      if (transfer.was_cancelled) return "interrupted";
      break;
    case CURLE_WRITE_ERROR:
      if (transfer.too_large) {
        return "the file is larger than " + std::to_string(limits.max_bytes) + " bytes";
      }
      if (transfer.write_error != 0) {
        return std::string("cannot write the download: ") + std::strerror(transfer.write_error);
      }
      break;
    case CURLE_OPERATION_TIMEDOUT: {
      if (detail.starts_with("Operation too slow")) {
        return "fewer than " + std::to_string(limits.low_speed_bytes_per_second) +
               " bytes a second arrived for " + Seconds(limits.low_speed_seconds);
      }
      // curl stops at the limit give or take a few milliseconds.
      curl_off_t elapsed_us = 0;
      api.easy_getinfo(curl, CURLINFO_TOTAL_TIME_T, &elapsed_us);
      if (limits.total_seconds > 0 &&
          elapsed_us + 500'000 >= curl_off_t{limits.total_seconds} * 1'000'000) {
        return "not complete after " + Seconds(limits.total_seconds) + ", the time allowed";
      }
      break;
    }
    default:
      break;
  }
  return detail;
}

class CurlDownloader final : public Downloader {
 public:
  std::optional<std::filesystem::path> Download(const std::string& url,
                                                const std::filesystem::path& folder,
                                                const DownloadLimits& limits,
                                                const CancelCheck& cancelled,
                                                std::string& error) override {
    const Curl* const api = OpenOnce<Curl>("libcurl.so.4", error);
    if (api == nullptr) return std::nullopt;
    std::string name = (folder / ".download-XXXXXX").string();
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
      error = "cannot create a file in " + folder.string() + ": " + std::strerror(errno);
      return std::nullopt;
    }
    Transfer transfer;
    transfer.file = ::fdopen(fd, "wb");
    transfer.max_bytes = limits.max_bytes;
    transfer.cancelled = &cancelled;
    if (transfer.file == nullptr) {
      error = "cannot create a file in " + folder.string() + ": " + std::strerror(errno);
      ::close(fd);
      ::unlink(name.c_str());
      return std::nullopt;
    }

    CURL* curl = api->easy_init();
    char message[CURL_ERROR_SIZE] = "";
    curl_slist* headers = api->slist_append(nullptr, "Cache-Control: no-cache");
    headers = api->slist_append(headers, "Pragma: no-cache");
    CURLcode result = CURLE_FAILED_INIT;
    if (curl != nullptr) {
      api->easy_setopt(curl, CURLOPT_URL, url.c_str());
      api->easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
      api->easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
      api->easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
      api->easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
      api->easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
      api->easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
      api->easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
      if (limits.total_seconds > 0) {
        api->easy_setopt(curl, CURLOPT_TIMEOUT, static_cast<long>(limits.total_seconds));
      }
      if (limits.low_speed_bytes_per_second > 0 && limits.low_speed_seconds > 0) {
        api->easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT,
                         static_cast<long>(limits.low_speed_bytes_per_second));
        api->easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, static_cast<long>(limits.low_speed_seconds));
      }
      api->easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.max_bytes));
      api->easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
      api->easy_setopt(curl, CURLOPT_WRITEFUNCTION, &WriteBody);
      api->easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
      api->easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
      api->easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &CheckCancel);
      api->easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
      api->easy_setopt(curl, CURLOPT_ERRORBUFFER, message);
      result = api->easy_perform(curl);
    }
    if (result != CURLE_OK) error = Reason(*api, result, curl, transfer, limits, message);
    api->easy_cleanup(curl);
    api->slist_free_all(headers);

    const bool saved = Finish(transfer.file);
    if (result == CURLE_OK && !saved) {
      error = "cannot write the download into " + folder.string() + ": " + std::strerror(errno);
    }
    if (result == CURLE_OK && saved) return std::filesystem::path(name);
    ::unlink(name.c_str());
    return std::nullopt;
  }
};

}  // namespace

std::unique_ptr<Downloader> CreateSystemDownloader() { return std::make_unique<CurlDownloader>(); }

}  // namespace z900::platform
