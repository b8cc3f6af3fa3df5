#include "tests/x11_harness.h"

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xfixes.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <stdexcept>
#include <sys/mman.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace x11test {
namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void Fail(const std::string& what)
{
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

struct XFreer {
    void operator()(void* data) const { XFree(data); }
};

struct ImageDestroyer {
    void operator()(XImage* image) const { XDestroyImage(image); }
};

} // namespace

bool Eventually(const std::function<bool()>& condition, Duration timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (!condition()) {
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(Duration(10));
    }
    return true;
}

Process::Process(const std::vector<std::string>& argv, const Environment& environment)
{
    int output[2];
    if (pipe2(output, O_CLOEXEC) != 0)
        Fail("pipe");
    // Standard error goes to memory rather than a pipe, so that a child that
    // writes much of it never blocks on a test that reads none.
    errors_ = memfd_create("stderr", MFD_CLOEXEC);
    if (errors_ < 0)
        Fail("memfd_create");

    // Everything the child needs is made before fork: after it, only calls
    // that are safe between fork and exec.
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<std::string> variables;
    for (char** e = environ; *e; ++e) {
        const std::string variable(*e);
        if (!environment.contains(variable.substr(0, variable.find('='))))
            variables.push_back(variable);
    }
    for (const auto& [name, value] : environment)
        if (value)
            variables.push_back(name + "=" + *value);
    std::vector<char*> env;
    for (const std::string& v : variables)
        env.push_back(const_cast<char*>(v.c_str()));
    env.push_back(nullptr);
    const int nothing = open("/dev/null", O_RDONLY | O_CLOEXEC);

    pid_ = fork();
    if (pid_ < 0)
        Fail("fork");
    if (pid_ == 0) {
        dup2(nothing, 0);
        dup2(output[1], 1);
        dup2(errors_, 2);
        execvpe(args[0], args.data(), env.data());
        _exit(127);
    }
    close(nothing);
    close(output[1]);
    output_ = output[0];
}

Process::~Process()
{
    if (!status_) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    close(output_);
    close(errors_);
}

std::optional<std::string> Process::ReadLine(Duration timeout)
{
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (const auto end = pending_.find('\n'); end != std::string::npos) {
            lines_.push_back(pending_.substr(0, end));
            pending_.erase(0, end + 1);
            return lines_.back();
        }
        const auto left = std::chrono::duration_cast<Duration>(deadline - Clock::now());
        if (left.count() <= 0)
            return std::nullopt;
        pollfd fd{output_, POLLIN, 0};
        if (poll(&fd, 1, int(left.count())) <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = read(output_, buffer, sizeof buffer);
        if (n <= 0)
            return std::nullopt;
        pending_.append(buffer, std::size_t(n));
    }
}

bool Process::WaitForLine(std::string_view line, Duration timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (const auto next =
               ReadLine(std::chrono::duration_cast<Duration>(deadline - Clock::now())))
        if (*next == line)
            return true;
    return false;
}

std::optional<int> Process::WaitForExit(Duration timeout)
{
    Eventually(
        [&] {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_)
                status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return status_.has_value();
        },
        timeout);
    return status_;
}

void Process::Signal(int signal)
{
    if (!status_)
        kill(pid_, signal);
}

std::string Process::Errors() const
{
    std::string text;
    char buffer[4096];
    ssize_t n;
    for (off_t at = 0; (n = pread(errors_, buffer, sizeof buffer, at)) > 0; at += n)
        text.append(buffer, std::size_t(n));
    return text;
}

Server::Server(int width, int height)
    : process_({"Xvfb", "-displayfd", "1", "-screen", "0",
                std::to_string(width) + "x" + std::to_string(height) + "x24", "-nolisten", "tcp",
                // The desktop picture must survive the last client's leaving.
                "-noreset"})
{
    // The server writes its display number when it accepts connections.
    const std::optional<std::string> number = process_.ReadLine();
    if (!number)
        throw std::runtime_error("Xvfb did not start: " + process_.Errors());
    name_ = ":" + *number;
}

void Server::Kill()
{
    process_.Signal(SIGKILL);
    process_.WaitForExit();
}

Client::Client(const std::string& display) : display_(XOpenDisplay(display.c_str()))
{
    if (!display_)
        throw std::runtime_error("cannot open display " + display);
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display_, &event, &error, &major, &minor) ||
        !XFixesQueryExtension(display_, &event, &error))
        throw std::runtime_error("the server lacks XTest or XFixes");
}

Client::~Client()
{
    XCloseDisplay(display_);
}

void Client::SetDesktop(const raster::Picture& picture)
{
    const int screen = DefaultScreen(display_);
    const Pixmap pixmap =
        XCreatePixmap(display_, Root(), unsigned(picture.Width()), unsigned(picture.Height()),
                      unsigned(DefaultDepth(display_, screen)));
    XImage image{};
    image.width = picture.Width();
    image.height = picture.Height();
    image.format = ZPixmap;
    image.data = const_cast<char*>(reinterpret_cast<const char*>(picture.Row(0)));
    image.byte_order = LSBFirst;
    image.bitmap_unit = 32;
    image.bitmap_bit_order = LSBFirst;
    image.bitmap_pad = 32;
    image.depth = DefaultDepth(display_, screen);
    image.bytes_per_line = picture.Width() * 4;
    image.bits_per_pixel = 32;
    image.red_mask = 0xFF0000;
    image.green_mask = 0x00FF00;
    image.blue_mask = 0x0000FF;
    if (!XInitImage(&image))
        throw std::runtime_error("XInitImage refused a 32-bit picture");
    XPutImage(display_, pixmap, DefaultGC(display_, screen), &image, 0, 0, 0, 0,
              unsigned(picture.Width()), unsigned(picture.Height()));
    XSetWindowBackgroundPixmap(display_, Root(), pixmap);
    XFreePixmap(display_, pixmap);
    XClearWindow(display_, Root());
    XSync(display_, False);
}

raster::Picture Client::Screenshot() const
{
    const int screen = DefaultScreen(display_);
    const int width = DisplayWidth(display_, screen), height = DisplayHeight(display_, screen);
    const std::unique_ptr<XImage, ImageDestroyer> image(
        XGetImage(display_, Root(), 0, 0, unsigned(width), unsigned(height), AllPlanes, ZPixmap));
    if (!image)
        throw std::runtime_error("XGetImage failed");
    raster::Picture picture(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.At(x, y) = std::uint32_t(XGetPixel(image.get(), x, y)) & 0xFFFFFF;
    return picture;
}

void Client::Key(KeySym key, bool down)
{
    const KeyCode code = XKeysymToKeycode(display_, key);
    if (code == 0)
        throw std::runtime_error("no key for keysym " + std::to_string(key));
    XTestFakeKeyEvent(display_, code, down, CurrentTime);
    XSync(display_, False);
}

void Client::Type(KeySym key)
{
    Key(key, true);
    Key(key, false);
}

void Client::Button(unsigned button, bool down)
{
    XTestFakeButtonEvent(display_, button, down, CurrentTime);
    XSync(display_, False);
}

void Client::Click(unsigned button)
{
    Button(button, true);
    Button(button, false);
}

void Client::MoveTo(int x, int y)
{
    XTestFakeMotionEvent(display_, DefaultScreen(display_), x, y, CurrentTime);
    XSync(display_, False);
}

bool Client::CursorInvisible() const
{
    const std::unique_ptr<XFixesCursorImage, XFreer> cursor(XFixesGetCursorImage(display_));
    if (!cursor)
        throw std::runtime_error("XFixesGetCursorImage failed");
    const std::size_t pixels = std::size_t(cursor->width) * cursor->height;
    for (std::size_t i = 0; i < pixels; ++i)
        if ((cursor->pixels[i] >> 24) != 0)
            return false;
    return true;
}

std::string Client::TopWindowTitle() const
{
    ::Window root = None, parent = None, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display_, Root(), &root, &parent, &children, &count))
        return {};
    const std::unique_ptr<::Window, XFreer> owner(children);
    for (unsigned i = count; i-- > 0;) {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display_, children[i], &attributes) ||
            attributes.map_state != IsViewable)
            continue;
        char* name = nullptr;
        XFetchName(display_, children[i], &name);
        const std::unique_ptr<char, XFreer> nameOwner(name);
        return name ? name : "";
    }
    return {};
}

::Window Client::CreateWindow(::Window parent, int x, int y, int width, int height,
                              bool overrideRedirect, bool map)
{
    XSetWindowAttributes attributes{};
    attributes.override_redirect = overrideRedirect;
    attributes.background_pixel = BlackPixel(display_, DefaultScreen(display_));
    const ::Window window =
        XCreateWindow(display_, parent, x, y, unsigned(width), unsigned(height), 0, CopyFromParent,
                      InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel, &attributes);
    if (map)
        XMapWindow(display_, window);
    XSync(display_, False);
    return window;
}

} // namespace x11test
