#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QLocalSocket>
#include <QSignalSpy>
#include <fstream>

#include "support/temp_folder.h"
#include "ui/qt_instance_lock.h"

namespace z900::ui {
namespace {

using app::InstanceRequest;
using Result = platform::InstanceLock::Result;

// Two instances in one process stand for two processes: the lock is one per open file.
class InstanceLockTest : public ::testing::Test {
 protected:
  // What the first instance received once `count` requests arrived (or five seconds went by).
  std::vector<InstanceRequest> Received(QSignalSpy& spy, int count) {
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

  test::TempFolder folder;
  std::filesystem::path instance_folder = folder.path() / "instance";
  QtInstanceLock first{instance_folder};
  QtInstanceLock second{instance_folder};
  std::string why;
};

TEST_F(InstanceLockTest, SecondInstanceReachesTheFirst) {
  // A socket left by an instance that died is no obstacle.
  std::filesystem::create_directory(instance_folder);
  std::filesystem::permissions(instance_folder, std::filesystem::perms::owner_all);
  std::ofstream(instance_folder / "Z900Config") << "left over";
  ASSERT_EQ(first.Acquire(why), Result::kFirst) << why;
  QSignalSpy spy(&first, &QtInstanceLock::RequestReceived);
  EXPECT_EQ(second.Acquire(why), Result::kAnotherRuns);
  EXPECT_TRUE(second.RequestShow());
  EXPECT_TRUE(second.Send(InstanceRequest::kHideWindow));
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
  QtInstanceLock elsewhere(folder.path() / "nobody", 0);
  EXPECT_FALSE(elsewhere.Send(InstanceRequest::kShowWindow));

  const std::filesystem::path open = folder.path() / "open";
  std::filesystem::create_directory(open);
  std::filesystem::permissions(open, std::filesystem::perms::all);
  QtInstanceLock shared(open);
  EXPECT_EQ(shared.Acquire(why), Result::kUnavailable);
  EXPECT_THAT(why, ::testing::HasSubstr("open"));
}

}  // namespace
}  // namespace z900::ui
