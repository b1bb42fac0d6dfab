#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <random>
#include <string>
#include <thread>

#include "platform/downloader.h"
#include "platform/utf8_path.h"
#include "platform/windows/wide_text.h"
#include "z900/version.h"

namespace z900::platform {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kConnectTimeoutMs = 15'000;
constexpr int kMaxRedirects = 5;
// How often the caller's thread looks at the cancel check and the time limits.
constexpr auto kCheckInterval = std::chrono::milliseconds(50);

// Closes a WinHTTP handle when it goes out of scope.
class InternetHandle {
 public:
  explicit InternetHandle(HINTERNET handle = nullptr) : handle_(handle) {}
  InternetHandle(const InternetHandle&) = delete;
  InternetHandle& operator=(const InternetHandle&) = delete;
  ~InternetHandle() { reset(); }
  HINTERNET get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  void reset(HINTERNET handle = nullptr) {
    if (handle_ != nullptr) ::WinHttpCloseHandle(handle_);
    handle_ = handle;
  }

 private:
  HINTERNET handle_;
};

// WinHTTP's own texts live in its module, not among the system's.
std::string WinHttpMessage(DWORD code) {
  if (code < WINHTTP_ERROR_BASE || code > WINHTTP_ERROR_LAST) {
    return WindowsError(code).message();
  }
  wchar_t* text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS,
      ::GetModuleHandleW(L"winhttp.dll"), code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message = length > 0 ? WideToUtf8(std::wstring_view(text, length)) : std::string();
  if (text != nullptr) ::LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return message.empty() ? "WinHTTP error " + std::to_string(code) : message;
}

struct Address {
  bool secure = false;
  std::wstring host;
  INTERNET_PORT port = 0;
  std::wstring path;  // with the query
};

// The parts of an http or https address; false with the reason for anything else.
bool ParseAddress(const std::wstring& url, Address& address, std::string& error) {
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof parts;
  parts.dwSchemeLength = static_cast<DWORD>(-1);
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!::WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts) ||
      (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)) {
    error = "only http and https addresses are downloaded (" + WideToUtf8(url) + ")";
    return false;
  }
  address.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
  address.host.assign(parts.lpszHostName, parts.dwHostNameLength);
  address.port = parts.nPort;
  address.path.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
  address.path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  if (address.path.empty()) address.path = L"/";
  return true;
}

// A redirect's target, which may be relative to the address that answered.
std::wstring ResolveLocation(const Address& from, const std::wstring& location) {
  const std::size_t colon = location.find(L':');
  const std::size_t slash = location.find(L'/');
  if (colon != std::wstring::npos && (slash == std::wstring::npos || colon < slash)) {
    return location;  // it has a scheme of its own
  }
  std::wstring base = std::wstring(from.secure ? L"https://" : L"http://") + from.host + L":" +
                      std::to_wstring(from.port);
  if (location.starts_with(L"//"))
    return std::wstring(from.secure ? L"https:" : L"http:") + location;
  if (location.starts_with(L"/")) return base + location;
  const std::wstring path = from.path.substr(0, from.path.find(L'?'));
  return base + path.substr(0, path.rfind(L'/') + 1) + location;
}

// A new hidden file in `folder`, not there before.
HANDLE CreateDownloadFile(const fs::path& folder, fs::path& name) {
  static thread_local std::minstd_rand generator(std::random_device{}());
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = folder / (L".download-" + std::to_wstring(generator()));
    const HANDLE file =
        ::CreateFileW(ApiPath(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                      FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED, nullptr);
    if (file != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  return INVALID_HANDLE_VALUE;
}

// One transfer, run on a thread of its own so that the caller's thread can watch the limits
// and the cancel check meanwhile and end it by closing its request.
class Transfer {
 public:
  Transfer(std::wstring url, HANDLE file, std::uint64_t max_bytes)
      : url_(std::move(url)), file_(file), max_bytes_(max_bytes) {}

  // The whole exchange with redirects; sets failure_ on failure.
  void Run() {
    session_.reset(::WinHttpOpen(Utf8ToWide(std::string("Z900-config/") + kVersion).c_str(),
                                 WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                                 WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session_) {
      // Systems before Windows 8.1 know only the configured proxy.
      session_.reset(::WinHttpOpen(Utf8ToWide(std::string("Z900-config/") + kVersion).c_str(),
                                   WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                   WINHTTP_NO_PROXY_BYPASS, 0));
    }
    if (!session_) {
      Fail(WinHttpMessage(::GetLastError()));
      return;
    }
    ::WinHttpSetTimeouts(session_.get(), kConnectTimeoutMs, kConnectTimeoutMs, 30'000, 0);
    std::wstring url = url_;
    for (int redirects = 0;; ++redirects) {
      Address address;
      std::string error;
      if (!ParseAddress(url, address, error)) {
        Fail(std::move(error));
        return;
      }
      std::optional<std::wstring> location;
      if (!Exchange(address, location)) return;
      if (!location) return;  // the body is in the file
      if (redirects == kMaxRedirects) {
        Fail("more than " + std::to_string(kMaxRedirects) + " redirects (a redirect loop)");
        return;
      }
      url = ResolveLocation(address, *location);
    }
  }

  // From the caller's thread: ends a transfer that is still running.
  void Abort() {
    std::lock_guard lock(mutex_);
    aborted_ = true;
    if (request_) request_.reset();
  }

  std::uint64_t received() const { return received_.load(); }
  const std::optional<std::string>& failure() const { return failure_; }

 private:
  // One request; a redirect leaves its target in `location`.
  bool Exchange(const Address& address, std::optional<std::wstring>& location) {
    connection_.reset(::WinHttpConnect(session_.get(), address.host.c_str(), address.port, 0));
    if (!connection_) return Fail(WinHttpMessage(::GetLastError()));
    {
      std::lock_guard lock(mutex_);
      if (aborted_) return false;
      request_.reset(
          ::WinHttpOpenRequest(connection_.get(), L"GET", address.path.c_str(), nullptr,
                               WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                               WINHTTP_FLAG_REFRESH | (address.secure ? WINHTTP_FLAG_SECURE : 0)));
    }
    const HINTERNET request = request_.get();
    if (request == nullptr) return Fail(WinHttpMessage(::GetLastError()));
    // Redirects are followed here, so that each target's scheme is checked and counted.
    DWORD no_redirects = WINHTTP_DISABLE_REDIRECTS;
    ::WinHttpSetOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &no_redirects, sizeof no_redirects);
    const wchar_t headers[] = L"Cache-Control: no-cache\r\nPragma: no-cache\r\n";
    if (!::WinHttpSendRequest(request, headers, static_cast<DWORD>(-1), WINHTTP_NO_REQUEST_DATA, 0,
                              0, 0) ||
        !::WinHttpReceiveResponse(request, nullptr)) {
      return FailCall();
    }
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!::WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                               WINHTTP_HEADER_NAME_BY_INDEX, &status, &size,
                               WINHTTP_NO_HEADER_INDEX)) {
      return FailCall();
    }
    if (status == 301 || status == 302 || status == 303 || status == 307 || status == 308) {
      wchar_t target[2048];
      DWORD target_size = sizeof target;
      if (!::WinHttpQueryHeaders(request, WINHTTP_QUERY_LOCATION, WINHTTP_HEADER_NAME_BY_INDEX,
                                 target, &target_size, WINHTTP_NO_HEADER_INDEX)) {
        return Fail("the server answered with HTTP status " + std::to_string(status) +
                    " and no address to go to");
      }
      location = std::wstring(target, target_size / sizeof(wchar_t));
      return true;
    }
    if (status >= 400) {
      return Fail("the server answered with HTTP status " + std::to_string(status));
    }
    std::uint64_t announced = 0;
    DWORD announced_size = sizeof announced;
    if (::WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER64,
                              WINHTTP_HEADER_NAME_BY_INDEX, &announced, &announced_size,
                              WINHTTP_NO_HEADER_INDEX) &&
        announced > max_bytes_) {
      return TooLarge();
    }
    for (;;) {
      // Only what has arrived: a read of more may wait for the whole body, and Abort could not
      // end a slow transfer before it is over.
      DWORD available = 0;
      if (!::WinHttpQueryDataAvailable(request, &available)) return FailCall();
      if (available == 0) return true;
      char chunk[16384];
      DWORD got = 0;
      const DWORD wanted = std::min<DWORD>(available, sizeof chunk);
      if (!::WinHttpReadData(request, chunk, wanted, &got)) return FailCall();
      if (got == 0) return true;
      if (received_.load() + got > max_bytes_) return TooLarge();
      DWORD written = 0;
      if (!::WriteFile(file_, chunk, got, &written, nullptr) || written != got) {
        return Fail("cannot write the download: " + LastWindowsError().message());
      }
      received_ += got;
    }
  }

  bool TooLarge() {
    return Fail("the file is larger than " + std::to_string(max_bytes_) + " bytes");
  }
  // A WinHTTP call failed; a request closed by Abort says nothing of its own.
  bool FailCall() {
    const DWORD code = ::GetLastError();
    std::lock_guard lock(mutex_);
    if (!aborted_) failure_ = WinHttpMessage(code);
    return false;
  }
  bool Fail(std::string reason) {
    std::lock_guard lock(mutex_);
    if (!aborted_) failure_ = std::move(reason);
    return false;
  }

  const std::wstring url_;
  const HANDLE file_;
  const std::uint64_t max_bytes_;
  InternetHandle session_;
  InternetHandle connection_;
  std::mutex mutex_;
  InternetHandle request_;  // guarded by mutex_ against Abort
  bool aborted_ = false;    // guarded by mutex_
  std::optional<std::string> failure_;
  std::atomic<std::uint64_t> received_{0};
};

class WinHttpDownloader final : public Downloader {
 public:
  std::optional<fs::path> Download(const std::string& url, const fs::path& folder,
                                   const DownloadLimits& limits, const CancelCheck& cancelled,
                                   std::string& error) override {
    Address address;
    if (!ParseAddress(Utf8ToWide(url), address, error)) return std::nullopt;
    fs::path name;
    const HANDLE file = CreateDownloadFile(folder, name);
    if (file == INVALID_HANDLE_VALUE) {
      error = "cannot create a file in " + PathToUtf8(folder) + ": " + LastWindowsError().message();
      return std::nullopt;
    }

    Transfer transfer(Utf8ToWide(url), file, limits.max_bytes);
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::thread worker([&] {
      transfer.Run();
      std::lock_guard lock(mutex);
      done = true;
      finished.notify_one();
    });
    const std::optional<std::string> stopped =
        Watch(transfer, limits, cancelled, mutex, finished, done);
    worker.join();

    const bool flushed = ::FlushFileBuffers(file) != 0;
    const std::error_code flush_error = flushed ? std::error_code() : LastWindowsError();
    ::CloseHandle(file);
    if (stopped) {
      error = *stopped;
    } else if (transfer.failure()) {
      error = *transfer.failure();
    } else if (!flushed) {
      error = "cannot write the download into " + PathToUtf8(folder) + ": " + flush_error.message();
    } else {
      return name;
    }
    ::DeleteFileW(ApiPath(name).c_str());
    return std::nullopt;
  }

 private:
  // Waits for the transfer on the caller's thread, ending it at a cancel or a time limit;
  // the reason when it was ended so.
  static std::optional<std::string> Watch(Transfer& transfer, const DownloadLimits& limits,
                                          const CancelCheck& cancelled, std::mutex& mutex,
                                          std::condition_variable& finished, bool& done) {
    const Clock::time_point start = Clock::now();
    Clock::time_point window_start = start;
    std::uint64_t window_bytes = 0;
    std::optional<std::string> reason;
    std::unique_lock lock(mutex);
    while (!finished.wait_for(lock, kCheckInterval, [&] { return done; })) {
      const Clock::time_point now = Clock::now();
      if (cancelled && cancelled()) {
        reason = "interrupted";
      } else if (limits.total_seconds > 0 &&
                 now - start >= std::chrono::seconds(limits.total_seconds)) {
        reason =
            "not complete after " + std::to_string(limits.total_seconds) + " s, the time allowed";
      } else if (limits.low_speed_bytes_per_second > 0 && limits.low_speed_seconds > 0 &&
                 now - window_start >= std::chrono::seconds(limits.low_speed_seconds)) {
        const std::uint64_t bytes = transfer.received();
        if (bytes - window_bytes <
            std::uint64_t{limits.low_speed_bytes_per_second} * limits.low_speed_seconds) {
          reason = "fewer than " + std::to_string(limits.low_speed_bytes_per_second) +
                   " bytes a second arrived for " + std::to_string(limits.low_speed_seconds) + " s";
        }
        window_start = now;
        window_bytes = bytes;
      }
      if (reason) {
        lock.unlock();
        transfer.Abort();
        lock.lock();
        finished.wait(lock, [&] { return done; });
        break;
      }
    }
    return reason;
  }
};

}  // namespace

std::unique_ptr<Downloader> CreateSystemDownloader() {
  return std::make_unique<WinHttpDownloader>();
}

}  // namespace z900::platform
