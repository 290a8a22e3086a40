// The scripted console (quortovu-scripted) as a child process: started with extra environment, sent commands,
// read line by line, and waited for, with the moment it ended on the steady clock (the same clock the child's
// "closed" answer gives). Ends the child (SIGKILL) if it is still running when this goes.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstring>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quor::scripted {

class ConsoleProcess {
public:
    ConsoleProcess() = default;
    ConsoleProcess(const ConsoleProcess&) = delete;
    ConsoleProcess& operator=(const ConsoleProcess&) = delete;
    ~ConsoleProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        CloseFds();
    }

    // Starts `program` with this process's environment and `env` ("NAME=value", overriding).
    bool Start(const std::string& program, const std::vector<std::string>& env) {
        int in[2], out[2];
        if (::pipe2(in, O_CLOEXEC) != 0)
            return false;
        if (::pipe2(out, O_CLOEXEC) != 0) {
            ::close(in[0]);
            ::close(in[1]);
            return false;
        }
        std::vector<std::string> vars;
        for (char** e = environ; *e; ++e) {
            const std::string var = *e;
            const std::string name = var.substr(0, var.find('='));
            bool overridden = false;
            for (const std::string& v : env)
                overridden = overridden || v.substr(0, v.find('=')) == name;
            if (!overridden)
                vars.push_back(var);
        }
        vars.insert(vars.end(), env.begin(), env.end());
        std::vector<char*> envp;
        for (std::string& v : vars)
            envp.push_back(v.data());
        envp.push_back(nullptr);
        std::string arg0 = program;
        char* argv[] = {arg0.data(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        const int r = ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, envp.data());
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        toChild_ = in[1];
        fromChild_ = out[0];
        if (r != 0)
            pid_ = -1;
        return r == 0;
    }

    bool Send(const std::string& line) {
        const std::string text = line + "\n";
        return ::write(toChild_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    }

    // The next line the child writes, without its newline; nullopt when none comes within `timeout`.
    std::optional<std::string> ReadLine(std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            if (const auto end = buffer_.find('\n'); end != std::string::npos) {
                std::string line = buffer_.substr(0, end);
                buffer_.erase(0, end + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd p{fromChild_, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                return std::nullopt;
            char chunk[512];
            const ssize_t n = ::read(fromChild_, chunk, sizeof chunk);
            if (n <= 0)
                return std::nullopt;
            buffer_.append(chunk, static_cast<std::size_t>(n));
        }
    }
    // Sends `command` and returns the answer, which starts with `answerWord` (other lines are passed over).
    std::optional<std::string> Ask(const std::string& command, const std::string& answerWord,
                                   std::chrono::milliseconds timeout) {
        if (!Send(command))
            return std::nullopt;
        while (auto line = ReadLine(timeout))
            if (line->rfind(answerWord, 0) == 0)
                return line;
        return std::nullopt;
    }

    // Sends the child `signal` (as the desktop, systemctl or kill would).
    bool Signal(int signal) { return pid_ > 0 && ::kill(pid_, signal) == 0; }

    struct End {
        int status = -1;         // as waitpid gives it
        std::int64_t atNs = 0;   // steady clock
    };
    // Waits up to `timeout` for the child to end.
    std::optional<End> Wait(std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (pid_ > 0) {
            int status = 0;
            const pid_t r = ::waitpid(pid_, &status, WNOHANG);
            if (r == pid_) {
                pid_ = -1;
                const auto now = std::chrono::steady_clock::now().time_since_epoch();
                return End{status, std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()};
            }
            if (r < 0 || std::chrono::steady_clock::now() >= deadline)
                return std::nullopt;
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        return std::nullopt;
    }

private:
    void CloseFds() {
        if (toChild_ >= 0)
            ::close(toChild_);
        if (fromChild_ >= 0)
            ::close(fromChild_);
        toChild_ = fromChild_ = -1;
    }

    pid_t pid_ = -1;
    int toChild_ = -1, fromChild_ = -1;
    std::string buffer_;
};

// The numbers of an answer after its first word ("open 1 7512 14" -> 1, 7512, 14).
inline std::vector<long> Numbers(const std::string& answer) {
    std::istringstream in(answer);
    std::string word;
    in >> word;
    std::vector<long> out;
    for (long v; in >> v;)
        out.push_back(v);
    return out;
}

} // namespace quor::scripted
