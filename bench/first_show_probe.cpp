// The start-up benchmark's eye on the first show: how long after the second click of a double
// click on the tray icon the program's window is on the screen and painted as it finally looks.
//   first_show_probe TITLE reference FILE      the window's look, once it is shown and settled
//   first_show_probe TITLE measure FILE CMD...  runs CMD (the second click), then the milliseconds
//                                               until the window shows the look of FILE
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kGrid = 6;  // a grid of kGrid × kGrid points inside the window

struct Point {
  int x;
  int y;
  unsigned long pixel;
};

// The shown top-level window whose name is `title`.
std::optional<Window> FindWindow(Display* display, const std::string& title) {
  Window root = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) == 0) {
    return std::nullopt;
  }
  std::optional<Window> found;
  for (unsigned int i = 0; i < count && !found; ++i) {
    char* name = nullptr;
    if (XFetchName(display, children[i], &name) != 0 && name != nullptr) {
      XWindowAttributes attributes{};
      if (title == name && XGetWindowAttributes(display, children[i], &attributes) != 0 &&
          attributes.map_state == IsViewable) {
        found = children[i];
      }
      XFree(name);
    }
  }
  if (children != nullptr) XFree(children);
  return found;
}

std::optional<unsigned long> PixelAt(Display* display, Window window, int x, int y) {
  XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
  if (image == nullptr) return std::nullopt;
  const unsigned long pixel = XGetPixel(image, 0, 0) & 0xFFFFFF;
  XDestroyImage(image);
  return pixel;
}

std::vector<Point> Sample(Display* display, Window window) {
  XWindowAttributes attributes{};
  XGetWindowAttributes(display, window, &attributes);
  std::vector<Point> points;
  for (int row = 0; row < kGrid; ++row) {
    for (int column = 0; column < kGrid; ++column) {
      const int x = attributes.width * (2 * column + 1) / (2 * kGrid);
      const int y = attributes.height * (2 * row + 1) / (2 * kGrid);
      if (const std::optional<unsigned long> pixel = PixelAt(display, window, x, y)) {
        points.push_back({x, y, *pixel});
      }
    }
  }
  return points;
}

std::optional<Window> WaitForWindow(Display* display, const std::string& title,
                                    Clock::time_point deadline) {
  while (Clock::now() < deadline) {
    if (const std::optional<Window> window = FindWindow(display, title)) return window;
    std::this_thread::sleep_for(2ms);
  }
  return std::nullopt;
}

int Reference(Display* display, const std::string& title, const char* file) {
  const std::optional<Window> window = WaitForWindow(display, title, Clock::now() + 60s);
  if (!window) {
    std::cerr << "no window \"" << title << "\"\n";
    return 1;
  }
  // Settled: what still changes (a blinking caret) is left out.
  std::this_thread::sleep_for(1500ms);
  const std::vector<Point> first = Sample(display, *window);
  std::this_thread::sleep_for(700ms);
  const std::vector<Point> second = Sample(display, *window);
  std::ofstream out(file);
  int kept = 0;
  for (const Point& point : first) {
    for (const Point& again : second) {
      if (again.x == point.x && again.y == point.y && again.pixel == point.pixel) {
        out << point.x << ' ' << point.y << ' ' << point.pixel << '\n';
        ++kept;
      }
    }
  }
  return kept > 0 ? 0 : 1;
}

int Measure(Display* display, const std::string& title, const char* file, char** command) {
  std::vector<Point> look;
  std::ifstream in(file);
  for (Point point{}; in >> point.x >> point.y >> point.pixel;) look.push_back(point);
  if (look.empty()) {
    std::cerr << "no reference in " << file << '\n';
    return 1;
  }
  const Clock::time_point start = Clock::now();
  pid_t child = 0;
  if (posix_spawnp(&child, command[0], nullptr, nullptr, command, environ) != 0) {
    std::cerr << "cannot run " << command[0] << '\n';
    return 1;
  }
  const Clock::time_point deadline = start + 60s;
  const std::optional<Window> window = WaitForWindow(display, title, deadline);
  bool painted = false;
  while (window && !painted && Clock::now() < deadline) {
    painted = true;
    for (const Point& point : look) {
      const std::optional<unsigned long> pixel = PixelAt(display, *window, point.x, point.y);
      if (!pixel || *pixel != point.pixel) {
        painted = false;
        break;
      }
    }
    if (!painted) std::this_thread::sleep_for(1ms);
  }
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  waitpid(child, nullptr, 0);
  if (!painted) {
    std::cerr << "the window \"" << title << "\" did not show its look\n";
    return 1;
  }
  std::cout << elapsed.count() << '\n';
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || (std::strcmp(argv[2], "measure") == 0 && argc < 5)) {
    std::cerr << "usage: first_show_probe TITLE reference FILE\n"
                 "       first_show_probe TITLE measure FILE COMMAND...\n";
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::cerr << "no X display\n";
    return 1;
  }
  const std::string title = argv[1];
  const int status = std::strcmp(argv[2], "reference") == 0
                         ? Reference(display, title, argv[3])
                         : Measure(display, title, argv[3], argv + 4);
  XCloseDisplay(display);
  return status;
}
