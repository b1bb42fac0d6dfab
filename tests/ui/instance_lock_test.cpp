#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QThread>
#include <cstring>
#include <fstream>

#include "platform/file_io.h"
#include "support/temp_folder.h"
#include "ui/qt_instance_lock.h"

namespace z900::ui {
namespace {

namespace fs = std::filesystem;
using app::InstanceRequest;
using Limits = QtInstanceLock::Limits;
using Result = platform::InstanceLock::Result;
using ::testing::HasSubstr;

// Two instances in one process stand for two processes: the lock is one per open file.
class InstanceLockTest : public ::testing::Test {
 protected:
  // What the first instance received once `count` requests arrived (or five seconds went by).
  static std::vector<InstanceRequest> Received(QSignalSpy& spy, int count) {
    while (spy.count() < count && spy.wait(5000)) {
    }
    std::vector<InstanceRequest> requests;
    for (const QList<QVariant>& arguments : spy) {
      requests.push_back(arguments.at(0).value<InstanceRequest>());
    }
    return requests;
  }
  // Another program's raw bytes on the socket.
  void SendRaw(const QByteArray& bytes) {
    QLocalSocket socket;
    socket.connectToServer(first.socket_path());
    ASSERT_TRUE(socket.waitForConnected(5000));
    socket.write(bytes);
    ASSERT_TRUE(socket.waitForBytesWritten(5000));
    socket.disconnectFromServer();
  }
  // A second start's request to the instance of `instance_folder`, sent from a thread of its
  // own while this one runs the events by which the first instance takes and answers it.
  static bool Answered(const fs::path& instance_folder,
                       InstanceRequest request = InstanceRequest::kShowWindow) {
    QtInstanceLock second_start(instance_folder);
    std::string why;
    bool answered = false;
    std::unique_ptr<QThread> asker(
        QThread::create([&] { answered = second_start.Send(request, why); }));
    QSignalSpy done(asker.get(), &QThread::finished);
    asker->start();
    EXPECT_TRUE(done.wait(10000));
    EXPECT_TRUE(answered) << why;
    return answered;
  }

  test::TempFolder folder;
  fs::path instance_folder = folder.path() / "instance";
  QtInstanceLock first{instance_folder};
  QtInstanceLock second{instance_folder};
  std::string why;
};

TEST_F(InstanceLockTest, SecondInstanceReachesTheFirst) {
  // A socket left by an instance that died is no obstacle.
  fs::create_directory(instance_folder);
  fs::permissions(instance_folder, fs::perms::owner_all);
  std::ofstream(instance_folder / "Z900Config") << "left over";
  ASSERT_EQ(first.Acquire(why), Result::kFirst) << why;
  QSignalSpy spy(&first, &QtInstanceLock::RequestReceived);
  EXPECT_EQ(second.Acquire(why), Result::kAnotherRuns);
  EXPECT_TRUE(Answered(instance_folder));
  EXPECT_TRUE(Answered(instance_folder, InstanceRequest::kHideWindow));
  EXPECT_THAT(Received(spy, 2),
              ::testing::ElementsAre(InstanceRequest::kShowWindow, InstanceRequest::kHideWindow));
}

// Other bytes on the socket do nothing; a line that never ends loses its connection.
TEST_F(InstanceLockTest, StrangersBytesAreNoRequests) {
  ASSERT_EQ(first.Acquire(why), Result::kFirst) << why;
  QSignalSpy spy(&first, &QtInstanceLock::RequestReceived);
  SendRaw("1132 0 517\nhello\n" + QByteArray(200, '1') + "\n2049 0 0\n");
  SendRaw("1132 0 515\n");
  EXPECT_THAT(Received(spy, 1), ::testing::ElementsAre(InstanceRequest::kShowWindow));
}

TEST_F(InstanceLockTest, NoRequestWithoutARunningInstanceAndNoLockInAnOpenFolder) {
  ASSERT_EQ(second.Acquire(why), Result::kFirst) << why;  // it was the only one
  QtInstanceLock elsewhere(folder.path() / "nobody", {.patience_ms = 0});
  EXPECT_FALSE(elsewhere.Send(InstanceRequest::kShowWindow, why));

  const fs::path open = folder.path() / "open";
  fs::create_directory(open);
  fs::permissions(open, fs::perms::all);
  QtInstanceLock shared(open);
  EXPECT_EQ(shared.Acquire(why), Result::kUnavailable);
  EXPECT_THAT(why, HasSubstr("open"));
}

// A lock held by something that takes no requests, or takes them and never answers (a stuck
// instance, another user's): the second start is told so, with the lock file it found held.
TEST_F(InstanceLockTest, AHolderThatDoesNotAnswerIsNamed) {
  fs::create_directory(instance_folder);
  fs::permissions(instance_folder, fs::perms::owner_all);
  std::error_code error;
  const auto held = platform::LockFile(instance_folder / "Z900Config.lock",
                                       platform::LockMode::kExclusive, false, error);
  ASSERT_TRUE(held) << error.message();
  QtInstanceLock late(instance_folder, {.patience_ms = 100});
  ASSERT_EQ(late.Acquire(why), Result::kAnotherRuns);

  EXPECT_FALSE(late.RequestShow(why));
  EXPECT_THAT(why, HasSubstr((instance_folder / "Z900Config.lock").string()));
  EXPECT_THAT(why, HasSubstr("cannot be reached at " + late.socket_path().toStdString()));

  QLocalServer silent;
  ASSERT_TRUE(silent.listen(late.socket_path()));
  EXPECT_FALSE(late.RequestShow(why));
  EXPECT_THAT(why, HasSubstr("did not answer at " + late.socket_path().toStdString()));
}

// A folder deeper than a socket address can name still holds a working channel.
TEST_F(InstanceLockTest, ADeepFolderStillTakesRequests) {
  const fs::path deep = folder.path() / std::string(120, 'd');
  QtInstanceLock deep_first(deep);
  ASSERT_EQ(deep_first.Acquire(why), Result::kFirst) << why;
  QSignalSpy spy(&deep_first, &QtInstanceLock::RequestReceived);
  EXPECT_TRUE(Answered(deep));
  EXPECT_EQ(spy.count(), 1);
}

// The channel comes back after whatever closed it: the socket file removed, or an accept that
// failed for want of descriptors (on which the server closes itself).
TEST_F(InstanceLockTest, TheChannelIsOpenedAgainAfterItWasLost) {
  QtInstanceLock lock(instance_folder, {.retry_ms = 10});
  ASSERT_EQ(lock.Acquire(why), Result::kFirst) << why;
  QSignalSpy lost(&lock, &QtInstanceLock::ChannelLost);
  QSignalSpy reopened(&lock, &QtInstanceLock::Reopened);

  fs::remove(instance_folder / "Z900Config");
  ASSERT_TRUE(reopened.wait(5000));
  EXPECT_EQ(lost.count(), 1);
  EXPECT_TRUE(Answered(instance_folder));

  // A client in the queue, and no descriptor left for taking it.
  const int client = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(client, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, lock.socket_path().toStdString().c_str(),
               sizeof address.sun_path - 1);
  rlimit limits{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &limits), 0);
  const int lowest_free = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  ::close(lowest_free);
  rlimit none_left = limits;
  none_left.rlim_cur = static_cast<rlim_t>(lowest_free);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &none_left), 0);
  ASSERT_EQ(::connect(client, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  const bool was_lost = lost.wait(5000);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &limits), 0);
  ::close(client);
  ASSERT_TRUE(was_lost);
  EXPECT_THAT(lost.at(1).at(0).toString().toStdString(), HasSubstr("the server closed"));
  ASSERT_TRUE(reopened.count() == 2 || reopened.wait(5000));
  EXPECT_TRUE(Answered(instance_folder));
}

// Clients that connect and say nothing cannot use up the instance's descriptors: beyond a few
// the oldest goes, and each goes after a while anyway.
TEST_F(InstanceLockTest, SilentClientsAreCappedAndTimedOut) {
  QtInstanceLock capped(instance_folder, {.idle_ms = 60000, .max_connections = 2});
  ASSERT_EQ(capped.Acquire(why), Result::kFirst) << why;
  std::vector<std::unique_ptr<QLocalSocket>> silent;
  for (int i = 0; i < 3; ++i) {
    silent.push_back(std::make_unique<QLocalSocket>());
    silent.back()->connectToServer(capped.socket_path());
    ASSERT_TRUE(silent.back()->waitForConnected(5000));
  }
  QSignalSpy oldest_gone(silent[0].get(), &QLocalSocket::disconnected);
  ASSERT_TRUE(oldest_gone.wait(5000));
  EXPECT_EQ(capped.connection_count(), 2);
  EXPECT_EQ(silent[2]->state(), QLocalSocket::ConnectedState);
  EXPECT_TRUE(Answered(instance_folder));

  QtInstanceLock impatient(folder.path() / "other", {.idle_ms = 20});
  ASSERT_EQ(impatient.Acquire(why), Result::kFirst) << why;
  QLocalSocket idle;
  idle.connectToServer(impatient.socket_path());
  ASSERT_TRUE(idle.waitForConnected(5000));
  QSignalSpy idle_gone(&idle, &QLocalSocket::disconnected);
  ASSERT_TRUE(idle_gone.wait(5000));
  EXPECT_EQ(impatient.connection_count(), 0);
}

}  // namespace
}  // namespace z900::ui
