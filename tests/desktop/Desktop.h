// A desktop of its own for a test: an X server (Xvfb) at a laptop's size, a window manager (openbox) on it, and
// the real program started there. The test works it as a person does: the pointer and the keyboard through the X
// server's input extension (xdotool), and reads what the screen shows: the windows (their names and places), the
// pixels of a screenshot, and the text a field gives to the clipboard. Nothing waits a fixed time: every step
// waits for what it caused to be seen, up to a limit.
#pragma once

#include <QImage>
#include <QRect>
#include <QString>

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <sys/types.h>

namespace quor::desktop {

// What a command printed on its standard output (trailing blanks trimmed), and how it ended.
struct Output {
    int status = -1; // exit status; -1 when it could not run or was ended by a signal
    std::string text;
};
Output Run(const std::vector<std::string>& argv, const std::string& input = {});

// Polls `done` every 20 ms until it holds or `limit` has passed; true when it held.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);

// A window as the window manager placed it: its client area on the screen and its frame's extents.
struct Window {
    std::string id;
    QRect client;
    int frameTop = 0, frameRight = 0; // the title bar's height, the right border's width
    bool Valid() const { return !id.empty(); }
};

class Desktop {
public:
    Desktop() = default;
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;
    ~Desktop();

    // Starts the X server (`width` x `height`) and the window manager, and points this process's DISPLAY at it.
    // False, with `why`, when either is missing or does not come up.
    bool Start(int width, int height, std::string* why);

    // Starts `program` on this desktop with `env` ("NAME=value") added to this process's environment; its
    // standard error goes to `errFile` (or is dropped). Ended (SIGKILL) with the desktop.
    pid_t Launch(const std::string& program, const std::vector<std::string>& env, const std::string& errFile = {});
    // Whether the launched program still runs (reaps it once it has ended).
    bool Running() const;

    // The visible windows whose title matches `pattern` (a regular expression, as xdotool reads it).
    std::vector<std::string> Windows(const std::string& pattern) const;
    // Waits for a visible window whose title matches; an invalid Window when none showed in time.
    Window WaitForWindow(const std::string& pattern, std::chrono::milliseconds limit = std::chrono::seconds(20)) const;
    // Where `id` is now (invalid once it is gone).
    Window Locate(const std::string& id) const;
    bool WaitGone(const std::string& id, std::chrono::milliseconds limit = std::chrono::seconds(10)) const;
    std::string ActiveWindow() const;

    // The pointer and the keyboard, at screen coordinates.
    void Click(QPoint at, int button = 1, int times = 1) const;
    // Drags window `id` by its title bar from `from` to `to`: presses there, moves the pointer on until the
    // window follows it, then to `to`, and lets go. False when the window never followed.
    bool DragWindow(const std::string& id, QPoint from, QPoint to) const;
    void Key(const std::string& keys) const; // xdotool's key names, e.g. "ctrl+a", "Escape", "F"
    void Type(const std::string& text) const;

    QImage Screenshot() const;
    // What the clipboard holds now.
    std::string Clipboard() const;

private:
    std::string display_;
    pid_t xvfb_ = -1, wm_ = -1;
    int displayFd_ = -1;
    mutable pid_t app_ = -1;
};

// How far `image`'s pixels inside `area` are from `colour`: the share (0..1) of them within `tolerance` on every
// channel.
double ShareNear(const QImage& image, QRect area, QRgb colour, int tolerance);

} // namespace quor::desktop
