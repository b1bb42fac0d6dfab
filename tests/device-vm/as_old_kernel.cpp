// Runs a program as if the kernel were older than 5.11, for the device-path test:
//
//   as_old_kernel [--without-input-ioctl] PROGRAM [ARGUMENTS...]
//
// uname() reports a 2.6 release (the UNAME26 personality). With --without-input-ioctl,
// hidraw's HIDIOCGINPUT fails with EINVAL, as it does on kernels that do not know it; without
// it the ioctl works, as on an older kernel that has it backported.

#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/hidraw.h>
#include <linux/seccomp.h>
#include <sys/ioctl.h>
#include <sys/personality.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

constexpr unsigned kAnswerSize = 32;

// ioctl(fd, HIDIOCGINPUT(32), …) gets EINVAL; every other call is allowed.
bool RefuseInputReportIoctl() {
  sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_ioctl, 0, 3),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[1])),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, HIDIOCGINPUT(kAnswerSize), 0, 1),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EINVAL),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
  };
  sock_fprog program{static_cast<unsigned short>(sizeof filter / sizeof filter[0]), filter};
  return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
         ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  int first = 1;
  const bool without_ioctl = argc > 1 && std::string_view(argv[1]) == "--without-input-ioctl";
  if (without_ioctl) ++first;
  if (first >= argc) {
    std::fprintf(stderr, "usage: as_old_kernel [--without-input-ioctl] PROGRAM [ARGUMENTS...]\n");
    return 2;
  }
  const int current = ::personality(0xFFFFFFFF);
  if (current == -1 || ::personality(static_cast<unsigned long>(current) | UNAME26) == -1) {
    std::perror("as_old_kernel: personality");
    return 1;
  }
  if (without_ioctl && !RefuseInputReportIoctl()) {
    std::perror("as_old_kernel: seccomp");
    return 1;
  }
  ::execv(argv[first], argv + first);
  std::fprintf(stderr, "as_old_kernel: cannot run %s: %s\n", argv[first], std::strerror(errno));
  return 127;
}
