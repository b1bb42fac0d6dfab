#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace z900::test {

// A real HTTP server on 127.0.0.1 serving the files of a folder, for as long as the object
// lives; it runs on threads of this process, so it serves Windows programs under Wine as well.
// Beside a served path P, a file P.redirect turns P into a redirect to the address it holds,
// and a file P.slow is served under P, announced with its full length but sent at two bytes a
// second.
class LocalHttpServer {
 public:
  explicit LocalHttpServer(const std::filesystem::path& folder);
  ~LocalHttpServer();
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  // "http://127.0.0.1:PORT"
  const std::string& base_url() const { return base_url_; }
  // Blocks until the server has received its next request and returns its path.
  std::string WaitForRequest();

 private:
  void Accept();
  void Serve(std::intptr_t connection);
  // Waits up to `ms` unless the server stops meanwhile; false once it stops.
  bool Pause(int ms);

  const std::filesystem::path folder_;
  std::intptr_t listener_ = -1;
  std::string base_url_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool stopping_ = false;                   // guarded by mutex_
  std::deque<std::string> requests_;        // guarded by mutex_, not yet taken by WaitForRequest
  std::vector<std::intptr_t> connections_;  // guarded by mutex_, open ones
  std::vector<std::thread> servers_;        // guarded by mutex_
  std::thread acceptor_;
};

}  // namespace z900::test
