#pragma once

#include <filesystem>
#include <string>

namespace z900::test {

// A real HTTP server on 127.0.0.1 (python3's http.server) serving the files of a folder, for
// as long as the object lives.
class LocalHttpServer {
 public:
  explicit LocalHttpServer(const std::filesystem::path& folder);
  ~LocalHttpServer();
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  // "http://127.0.0.1:PORT"
  const std::string& base_url() const { return base_url_; }

 private:
  int pid_ = -1;
  std::string base_url_;
};

}  // namespace z900::test
