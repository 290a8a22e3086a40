#include "tests/desktop/Desktop.h"

#include <QByteArray>
#include <QColor>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quor::desktop {
namespace {

using namespace std::chrono_literals;

std::vector<char*> Argv(const std::vector<std::string>& argv) {
    std::vector<char*> out;
    for (const std::string& a : argv)
        out.push_back(const_cast<char*>(a.c_str()));
    out.push_back(nullptr);
    return out;
}

// This process's environment with `extra` ("NAME=value") put over it.
std::vector<std::string> Environment(const std::vector<std::string>& extra) {
    std::vector<std::string> vars;
    for (char** e = environ; *e; ++e) {
        const std::string var = *e;
        const std::string name = var.substr(0, var.find('='));
        bool replaced = false;
        for (const std::string& x : extra)
            replaced = replaced || x.substr(0, x.find('=')) == name;
        if (!replaced)
            vars.push_back(var);
    }
    vars.insert(vars.end(), extra.begin(), extra.end());
    return vars;
}

// Spawns argv with stdin/stdout/stderr on the given descriptors (-1: /dev/null).
pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, int in, int out, int err) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const int fds[] = {in, out, err};
    for (int target = 0; target < 3; ++target) {
        if (fds[target] >= 0)
            posix_spawn_file_actions_adddup2(&actions, fds[target], target);
        else
            posix_spawn_file_actions_addopen(&actions, target, "/dev/null", target == 0 ? O_RDONLY : O_WRONLY, 0);
    }
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // A group of its own: ctest's signals reach the test, which ends its children itself.
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    std::vector<std::string> vars = Environment(env);
    std::vector<char*> envp = Argv(vars);
    std::vector<char*> args = Argv(argv);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], &actions, &attr, args.data(), envp.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    return pid;
}

void End(pid_t& pid, int sig) {
    if (pid <= 0)
        return;
    ::kill(pid, sig);
    ::waitpid(pid, nullptr, 0);
    pid = -1;
}

std::string Trim(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ' || s.back() == '\r'))
        s.pop_back();
    return s;
}

// What `argv` printed, byte for byte, and its exit status.
Output RunBytes(const std::vector<std::string>& argv, const std::string& input) {
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0)
        return {};
    if (::pipe2(out, O_CLOEXEC) != 0) {
        ::close(in[0]);
        ::close(in[1]);
        return {};
    }
    const pid_t pid = Spawn(argv, {}, in[0], out[1], -1);
    ::close(in[0]);
    ::close(out[1]);
    if (pid > 0 && !input.empty())
        (void)!::write(in[1], input.data(), input.size());
    ::close(in[1]);
    Output result;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n > 0)
            result.text.append(buffer, std::size_t(n));
        else if (n == 0 || errno != EINTR)
            break;
    }
    ::close(out[0]);
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        result.status = WEXITSTATUS(status);
    return result;
}

} // namespace

Output Run(const std::vector<std::string>& argv, const std::string& input) {
    Output result = RunBytes(argv, input);
    result.text = Trim(result.text);
    return result;
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (done())
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(20ms);
    }
}

Desktop::~Desktop() {
    End(app_, SIGKILL);
    End(wm_, SIGTERM);
    End(xvfb_, SIGTERM);
    if (displayFd_ >= 0)
        ::close(displayFd_);
}

bool Desktop::Start(int width, int height, std::string* why) {
    int fd[2];
    if (::pipe2(fd, O_CLOEXEC) != 0) {
        *why = "no pipe";
        return false;
    }
    // The server picks a free display and writes its number once it takes connections.
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    // -noreset: the server would start afresh whenever its last client left (an xprop before the window
    // manager connects), cutting off the window manager as it comes up.
    xvfb_ = Spawn({"Xvfb", "-displayfd", "1", "-noreset", "-screen", "0", screen, "-nolisten", "tcp"}, {}, -1, fd[1],
                  -1);
    ::close(fd[1]);
    if (xvfb_ <= 0) {
        ::close(fd[0]);
        *why = "Xvfb is not installed";
        return false;
    }
    pollfd p{fd[0], POLLIN, 0};
    char number[32] = {};
    ssize_t n = 0;
    if (::poll(&p, 1, 30000) == 1)
        n = ::read(fd[0], number, sizeof number - 1);
    // Kept open while the server runs: a write to a closed pipe would end it.
    displayFd_ = fd[0];
    if (n <= 0) {
        *why = "Xvfb did not come up within 30 s";
        return false;
    }
    display_ = ":" + Trim(std::string(number, std::size_t(n)));
    ::setenv("DISPLAY", display_.c_str(), 1);
    char wmLog[] = "/tmp/quor-openbox-XXXXXX";
    const int log = ::mkstemp(wmLog);
    wm_ = Spawn({"openbox", "--sm-disable"}, {}, -1, -1, log);
    if (log >= 0)
        ::close(log);
    if (wm_ <= 0) {
        *why = "openbox is not installed";
        return false;
    }
    // The window manager is there once it has named its check window on the root.
    const bool managed = WaitUntil(
        [] { return Run({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}).text.find("window id") != std::string::npos; },
        30s);
    if (!managed) {
        auto alive = [](pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) == 0 ? "running" : "gone"; };
        *why = "openbox did not take the screen " + display_ + " within 30 s (Xvfb " + alive(xvfb_) + ", openbox " +
               alive(wm_) + "; xprop: " + Run({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}).text +
               "): " + Run({"cat", wmLog}).text;
    }
    ::unlink(wmLog);
    return managed;
}

pid_t Desktop::Launch(const std::string& program, const std::vector<std::string>& env, const std::string& errFile) {
    int err = -1;
    if (!errFile.empty())
        err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    app_ = Spawn({program}, env, -1, -1, err);
    if (err >= 0)
        ::close(err);
    return app_;
}

bool Desktop::Running() const {
    if (app_ <= 0)
        return false;
    int status = 0;
    if (::waitpid(app_, &status, WNOHANG) == app_) {
        app_ = -1;
        return false;
    }
    return true;
}

std::vector<std::string> Desktop::Windows(const std::string& pattern) const {
    std::vector<std::string> ids;
    std::istringstream lines(Run({"xdotool", "search", "--onlyvisible", "--name", pattern}).text);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty())
            ids.push_back(line);
    return ids;
}

Window Desktop::WaitForWindow(const std::string& pattern, std::chrono::milliseconds limit) const {
    Window found;
    WaitUntil(
        [&] {
            const std::vector<std::string> ids = Windows(pattern);
            if (!ids.empty())
                found = Locate(ids.front());
            return found.Valid() && found.client.width() > 1;
        },
        limit);
    return found;
}

Window Desktop::Locate(const std::string& id) const {
    // xwininfo gives the client's place on the screen as it is (xdotool adds the frame twice under a
    // reparenting window manager).
    const Output info = Run({"xwininfo", "-id", id});
    if (info.status != 0)
        return {};
    std::map<std::string, int> v;
    std::istringstream lines(info.text);
    for (std::string line; std::getline(lines, line);) {
        const auto colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        std::string key = line.substr(0, colon);
        key.erase(0, key.find_first_not_of(' '));
        v[key] = std::atoi(line.c_str() + colon + 1);
    }
    Window w;
    w.id = id;
    w.client = QRect(v["Absolute upper-left X"], v["Absolute upper-left Y"], v["Width"], v["Height"]);
    // "_NET_FRAME_EXTENTS(CARDINAL) = left, right, top, bottom"
    const std::string extents = Run({"xprop", "-id", id, "_NET_FRAME_EXTENTS"}).text;
    std::smatch m;
    static const std::regex kExtents(R"(=\s*(\d+),\s*(\d+),\s*(\d+),\s*(\d+))");
    if (std::regex_search(extents, m, kExtents)) {
        w.frameRight = std::stoi(m[2]);
        w.frameTop = std::stoi(m[3]);
    }
    return w;
}

bool Desktop::WaitGone(const std::string& id, std::chrono::milliseconds limit) const {
    return WaitUntil(
        [&] {
            for (const std::string& shown : Windows("."))
                if (shown == id)
                    return false;
            return true;
        },
        limit);
}

std::string Desktop::ActiveWindow() const { return Run({"xdotool", "getactivewindow"}).text; }

// The pointer's moves and clicks go through one connection, so they arrive in order; no move waits for the
// pointer to get there (xdotool's --sync never returns when it is there already).
void Desktop::Click(QPoint at, int button, int times) const {
    Run({"xdotool", "mousemove", std::to_string(at.x()), std::to_string(at.y()), "click", "--repeat",
         std::to_string(times), "--delay", "80", std::to_string(button)});
}

bool Desktop::DragWindow(const std::string& id, QPoint from, QPoint to) const {
    auto move = [](QPoint p) { Run({"xdotool", "mousemove", std::to_string(p.x()), std::to_string(p.y())}); };
    const QPoint start = Locate(id).client.topLeft();
    move(from);
    Run({"xdotool", "mousedown", "1"});
    // The window manager takes the press, then a move past its threshold starts the drag: nudge the pointer
    // back and forth until the window follows.
    int nudge = 0;
    const bool follows = WaitUntil(
        [&] {
            move(from + QPoint(++nudge % 2 == 0 ? 12 : 24, 0));
            return Locate(id).client.topLeft() != start;
        },
        std::chrono::seconds(10));
    move(to);
    Run({"xdotool", "mouseup", "1"});
    return follows;
}

void Desktop::Key(const std::string& keys) const { Run({"xdotool", "key", "--delay", "40", keys}); }

void Desktop::Type(const std::string& text) const { Run({"xdotool", "type", "--delay", "40", text}); }

QImage Desktop::Screenshot() const {
    const Output png = RunBytes({"import", "-silent", "-window", "root", "png:-"}, {});
    return QImage::fromData(QByteArray::fromStdString(png.text), "PNG").convertToFormat(QImage::Format_RGB32);
}

std::string Desktop::Clipboard() const { return Run({"xclip", "-o", "-selection", "clipboard"}).text; }

double ShareNear(const QImage& image, QRect area, QRgb colour, int tolerance) {
    area &= image.rect();
    if (area.isEmpty())
        return 0.0;
    int near = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            near += std::abs(qRed(p) - qRed(colour)) <= tolerance && std::abs(qGreen(p) - qGreen(colour)) <= tolerance &&
                    std::abs(qBlue(p) - qBlue(colour)) <= tolerance;
        }
    }
    return double(near) / double(area.width() * area.height());
}

} // namespace quor::desktop
