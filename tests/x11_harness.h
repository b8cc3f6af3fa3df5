#pragma once

// For tests on a real X server: a private Xvfb, programs run on it, and a
// connection of the test's own that sees the screen and types, clicks and
// moves the mouse as a person would (through XTest).

#include "platform/raster/picture.h"

#include <X11/Xlib.h>

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace x11test {

using Duration = std::chrono::milliseconds;

// Long enough for a busy two-core machine: a test that waits this long has
// failed.
inline constexpr Duration PATIENCE{20'000};

// Asks again and again until condition holds; false if it never did.
bool Eventually(const std::function<bool()>& condition, Duration timeout = PATIENCE);

// A program run as a child, its standard output read line by line and its
// standard error kept.
class Process {
public:
    // Environment variables to set for the child, or to remove (nullopt).
    using Environment = std::map<std::string, std::optional<std::string>>;

    explicit Process(const std::vector<std::string>& argv, const Environment& environment = {});
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    // Kills the child if it still runs.
    ~Process();

    // The next line of standard output; nullopt at its end or on time-out.
    std::optional<std::string> ReadLine(Duration timeout = PATIENCE);
    // Reads lines until this one; false at the end of the output or on
    // time-out.
    bool WaitForLine(std::string_view line, Duration timeout = PATIENCE);
    // Every line read so far.
    const std::vector<std::string>& Lines() const { return lines_; }

    // The exit status, 128 + the signal's number for a child killed by one;
    // nullopt if it still runs when the time is up.
    std::optional<int> WaitForExit(Duration timeout = PATIENCE);
    void Signal(int signal);
    // Everything written to standard error so far.
    std::string Errors() const;

private:
    pid_t pid_ = -1;
    std::optional<int> status_;
    int output_ = -1;
    int errors_ = -1;
    std::string pending_;
    std::vector<std::string> lines_;
};

// A private X server with one 24-bit screen, on a display number that no one
// else uses.
class Server {
public:
    explicit Server(int width = 640, int height = 480);

    // As in $DISPLAY: ":N".
    const std::string& Name() const { return name_; }
    // The server dies at once, as in a crash.
    void Kill();

private:
    Process process_;
    std::string name_;
};

// A connection of the test's own to a server.
class Client {
public:
    explicit Client(const std::string& display);
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;
    ~Client();

    ::Display* Get() const { return display_; }
    ::Window Root() const { return DefaultRootWindow(display_); }

    // Makes picture the desktop: the root window's background.
    void SetDesktop(const raster::Picture& picture);
    // What the screen shows, pixels as 0x00RRGGBB.
    raster::Picture Screenshot() const;

    void Key(KeySym key, bool down);
    void Type(KeySym key);
    void Button(unsigned button, bool down);
    void Click(unsigned button);
    void MoveTo(int x, int y);

    // Whether the cursor shows no pixel at all.
    bool CursorInvisible() const;
    // The title of the uppermost mapped window on the screen; empty if there
    // is none.
    std::string TopWindowTitle() const;
    // A window of this connection's, mapped unless said otherwise.
    ::Window CreateWindow(::Window parent, int x, int y, int width, int height,
                          bool overrideRedirect = false, bool map = true);

private:
    ::Display* display_;
};

} // namespace x11test
