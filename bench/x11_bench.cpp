// The blinkorb program on a private 1024 x 768 X server for five seconds:
// its tick rate read off the screen, its and the server's processor use, the
// time to its first frame and from a key to its exit, and its peak memory,
// each beside its goal. Run through bench/x11_bench.sh.

#include "tests/figure_search.h"
#include "tests/x11_harness.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <memory>
#include <optional>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;
using Milliseconds = std::chrono::duration<double, std::milli>;

constexpr std::int32_t WIDTH = 1024;
constexpr std::int32_t HEIGHT = 768;
constexpr auto RUN = std::chrono::seconds(5);
// The two frames whose ticks give the rate, as far apart as the run allows
// with the first frame well behind.
constexpr auto FIRST_READING = std::chrono::milliseconds(500);
constexpr auto SECOND_READING = std::chrono::milliseconds(4500);

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor()
    {
        if (fd_ >= 0)
            close(fd_);
    }

    int get() const { return fd_; }

private:
    int fd_;
};

struct ImageDestroyer {
    void operator()(XImage* image) const { XDestroyImage(image); }
};

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// The fields of /proc/<pid>/stat after the command's name, which may hold
// spaces: [0] is the state, [1] the parent, [11] and [12] user and system
// time in clock ticks.
std::vector<std::string> StatFields(pid_t pid)
{
    const std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
    std::istringstream rest(stat.substr(stat.rfind(')') + 1));
    std::vector<std::string> fields;
    for (std::string field; rest >> field;)
        fields.push_back(field);
    if (fields.size() < 13)
        throw std::runtime_error("cannot read the state of process " + std::to_string(pid));
    return fields;
}

// Processor time, both ways the kernel counts it.
struct ProcessorTime {
    // User and system time from /proc/<pid>/stat, in clock ticks of 10 ms:
    // a fifth of the saver's goal over the run, so only a rough check.
    Seconds ticked{};
    // Time on a processor from /proc/<pid>/schedstat, in nanoseconds.
    Seconds exact{};
};

ProcessorTime ProcessorTimeSoFar(pid_t pid)
{
    const std::vector<std::string> fields = StatFields(pid);
    std::istringstream schedstat(ReadFile("/proc/" + std::to_string(pid) + "/schedstat"));
    long long nanoseconds = 0;
    if (!(schedstat >> nanoseconds))
        throw std::runtime_error("no schedstat for process " + std::to_string(pid));
    return {Seconds(double(std::stoll(fields[11]) + std::stoll(fields[12])) /
                    double(sysconf(_SC_CLK_TCK))),
            Seconds(double(nanoseconds) / 1e9)};
}

// Percent of one core used between two readings, exactly and in ticks.
std::pair<double, double> Load(const ProcessorTime& from, const ProcessorTime& to, Seconds over)
{
    return {100 * (to.exact - from.exact) / over, 100 * (to.ticked - from.ticked) / over};
}

// The harness keeps its children's ids to itself; they are ours, running
// the program of that name.
pid_t ChildNamed(const std::string& name)
{
    const std::unique_ptr<DIR, int (*)(DIR*)> proc(opendir("/proc"), closedir);
    while (const dirent* entry = readdir(proc.get())) {
        const pid_t pid = pid_t(std::atoi(entry->d_name));
        if (pid <= 0 || ReadFile("/proc/" + std::string(entry->d_name) + "/comm") != name + "\n")
            continue;
        if (std::stoi(StatFields(pid)[1]) == getpid())
            return pid;
    }
    throw std::runtime_error("no child process named " + name);
}

double PeakMemoryMiB(pid_t pid)
{
    std::istringstream status(ReadFile("/proc/" + std::to_string(pid) + "/status"));
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("VmHWM:"))
            return double(std::stoll(line.substr(6))) / 1024;
    throw std::runtime_error("no VmHWM for process " + std::to_string(pid));
}

std::string LoadAverage()
{
    std::istringstream loadavg(ReadFile("/proc/loadavg"));
    std::string one, five, fifteen;
    loadavg >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

// Part of the screen and when the server read it: halfway through the
// request, which takes some milliseconds for the whole screen.
struct Shot {
    raster::Picture picture;
    Clock::time_point at;
};

Shot Grab(const x11test::Client& client, int x, int y, int width, int height)
{
    const Clock::time_point before = Clock::now();
    const std::unique_ptr<XImage, ImageDestroyer> image(XGetImage(
        client.Get(), client.Root(), x, y, unsigned(width), unsigned(height), AllPlanes, ZPixmap));
    const Clock::time_point after = Clock::now();
    if (!image)
        throw std::runtime_error("XGetImage failed");
    Shot shot{raster::Picture(width, height), before + (after - before) / 2};
    for (int row = 0; row < height; ++row)
        for (int column = 0; column < width; ++column)
            shot.picture.At(column, row) =
                std::uint32_t(XGetPixel(image.get(), column, row)) & 0xFFFFFF;
    return shot;
}

// The time of the first screenshot, on or after from, that shows one whole
// frame, and that frame's tick.
std::pair<Clock::time_point, int> Reading(const x11test::Client& client,
                                          const raster::Picture& desktop, Clock::time_point start,
                                          Clock::time_point from)
{
    std::this_thread::sleep_until(from);
    while (Clock::now() < from + x11test::PATIENCE) {
        const Shot shot = Grab(client, 0, 0, WIDTH, HEIGHT);
        const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(shot.at - start);
        if (const std::optional<int> tick =
                test::FindTick(shot.picture, desktop, int(elapsed.count() / 9) + 2))
            return {shot.at, *tick};
    }
    throw std::runtime_error("the screen never showed one whole frame of the run");
}

// When the figure's first pixels appear at the centre of the screen.
Clock::time_point FirstFrame(const x11test::Client& client, const raster::Picture& desktop)
{
    constexpr int reach = figure::FIGURE_RADIUS + 1;
    const int left = WIDTH / 2 - reach, top = HEIGHT / 2 - reach, side = 2 * reach + 1;
    raster::Picture centre(side, side);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            centre.At(x, y) = desktop.At(left + x, top + y);
    const Clock::time_point deadline = Clock::now() + x11test::PATIENCE;
    while (Clock::now() < deadline) {
        const Shot shot = Grab(client, left, top, side, side);
        if (!test::SameOnScreen(shot.picture, centre))
            return shot.at;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    throw std::runtime_error("no figure on the screen");
}

// When the process ends, without reaping it: the harness does that.
Clock::time_point Exit(pid_t pid)
{
    const Descriptor process(int(syscall(SYS_pidfd_open, pid, 0)));
    if (process.get() < 0)
        throw std::runtime_error("pidfd_open failed");
    pollfd exited{process.get(), POLLIN, 0};
    if (poll(&exited, 1, int(x11test::PATIENCE.count())) != 1)
        throw std::runtime_error("the program did not end on a key");
    return Clock::now();
}

void Row(const char* what, const std::string& value, const char* goal, std::optional<bool> met)
{
    std::printf("  %-34s %12s   %-16s %s\n", what, value.c_str(), goal,
                !met ? "" : (*met ? "met" : "MISSED"));
}

std::string Format(const char* format, double value)
{
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

int Run()
{
    std::printf("blinkorb on a %dx%d Xvfb for %lld s; load average %s on %ld processors\n", WIDTH,
                HEIGHT, static_cast<long long>(RUN.count()), LoadAverage().c_str(),
                sysconf(_SC_NPROCESSORS_ONLN));
    x11test::Server server(WIDTH, HEIGHT);
    x11test::Client client(server.Name());
    const raster::Picture desktop = test::Pattern(WIDTH, HEIGHT);
    client.SetDesktop(desktop);
    const pid_t xserver = ChildNamed("Xvfb");

    const Clock::time_point start = Clock::now();
    x11test::Process saver({BLINKORB}, {{"DISPLAY", server.Name()}});
    const Clock::time_point first = FirstFrame(client, desktop);
    const pid_t pid = ChildNamed("blinkorb");

    const auto [firstAt, firstTick] = Reading(client, desktop, start, start + FIRST_READING);
    const Clock::time_point quietFrom = Clock::now();
    const ProcessorTime serverFrom = ProcessorTimeSoFar(xserver);
    const ProcessorTime saverFrom = ProcessorTimeSoFar(pid);
    std::this_thread::sleep_until(start + SECOND_READING);
    const ProcessorTime serverTo = ProcessorTimeSoFar(xserver);
    const ProcessorTime saverTo = ProcessorTimeSoFar(pid);
    const Clock::time_point quietTo = Clock::now();
    const auto [secondAt, secondTick] = Reading(client, desktop, start, start + SECOND_READING);

    std::this_thread::sleep_until(start + RUN);
    const double peak = PeakMemoryMiB(pid);
    const ProcessorTime used = ProcessorTimeSoFar(pid);
    const Clock::time_point keyAt = Clock::now();
    client.Key(XK_Escape, true);
    const Clock::time_point exitAt = Exit(pid);
    client.Key(XK_Escape, false);
    const std::optional<int> status = saver.WaitForExit();

    const double rate = (secondTick - firstTick) / Seconds(secondAt - firstAt).count();
    // The saver's count starts at zero with the process.
    const auto [saverLoad, saverTicked] = Load({}, used, keyAt - start);
    // Between the readings the program only ticks, and nothing else asks
    // the server for anything.
    const auto [steadyLoad, steadyTicked] = Load(saverFrom, saverTo, quietTo - quietFrom);
    const auto [serverLoad, serverTicked] = Load(serverFrom, serverTo, quietTo - quietFrom);
    const double firstFrame = Milliseconds(first - start).count();
    const double exit = Milliseconds(exitAt - keyAt).count();

    std::printf("  %-34s %12s   %-16s\n", "measure", "value", "goal");
    Row("ticks per second", Format("%.2f", rate), "100 +- 1", rate >= 99 && rate <= 101);
    Row("saver CPU, whole run", Format("%.2f %%", saverLoad), "< 1 % of a core", saverLoad < 1);
    Row("saver CPU, between the readings", Format("%.2f %%", steadyLoad), "", std::nullopt);
    Row("X server CPU, between the readings", Format("%.2f %%", serverLoad), "", std::nullopt);
    Row("first frame after start", Format("%.1f ms", firstFrame), "< 50 ms", firstFrame < 50);
    Row("exit after key", Format("%.1f ms", exit), "< 20 ms", exit < 20);
    Row("peak memory (VmHWM)", Format("%.2f MiB", peak), "< 6 MiB", peak < 6);
    std::printf("  from utime+stime, in 10 ms steps: saver %.2f %% (%.2f %% between the readings), "
                "X server %.2f %%\n",
                saverTicked, steadyTicked, serverTicked);
    std::printf("  ticks %d and %d read %.3f s apart; exit status %s; load average now %s\n",
                firstTick, secondTick, Seconds(secondAt - firstAt).count(),
                status ? std::to_string(*status).c_str() : "none", LoadAverage().c_str());
    if (const std::string errors = saver.Errors(); !errors.empty())
        std::printf("  the program's standard error:\n%s", errors.c_str());
    return status == 0 ? 0 : 1;
}

} // namespace

int main()
{
    try {
        return Run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "x11_bench: %s\n", e.what());
        return 1;
    }
}
