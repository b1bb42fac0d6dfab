#pragma once

#include <filesystem>
#include <string>

namespace z900::test {

// A real HTTP server on 127.0.0.1 serving the files of a folder, for as long as the object
// lives. Beside a served path P, a file P.redirect turns P into a redirect to the address it
// holds, and a file P.slow is served under P at two bytes a second.
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
  std::string ReadLine();

  int pid_ = -1;
  int out_fd_ = -1;
  std::string base_url_;
};

}  // namespace z900::test
