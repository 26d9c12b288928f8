#include "tools/catalog/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace tw::tool {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t output_limit = 1 << 20;

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return fd_; }
    void reset()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

class SpawnActions {
public:
    SpawnActions() { ok_ = posix_spawn_file_actions_init(&actions_) == 0; }
    ~SpawnActions()
    {
        if (ok_)
            posix_spawn_file_actions_destroy(&actions_);
    }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;

    // The child's standard output and error go to `write_end`, its input comes from nothing.
    bool redirect(int write_end)
    {
        return ok_ && posix_spawn_file_actions_addopen(&actions_, 0, "/dev/null", O_RDONLY, 0) == 0 &&
               posix_spawn_file_actions_adddup2(&actions_, write_end, 1) == 0 &&
               posix_spawn_file_actions_adddup2(&actions_, write_end, 2) == 0;
    }
    const posix_spawn_file_actions_t* get() const { return &actions_; }

private:
    posix_spawn_file_actions_t actions_{};
    bool ok_ = false;
};

// Never leaves a child behind: one still running when its owner goes is killed and reaped.
class Child {
public:
    explicit Child(pid_t pid) : pid_(pid) {}
    ~Child()
    {
        if (pid_ > 0) {
            kill();
            wait();
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    void kill() const { ::kill(pid_, SIGKILL); }

    // Its exit code (-1 when a signal ended it); false while it is still running at the deadline.
    bool wait_until(Clock::time_point deadline, int& exit_code)
    {
        for (;;) {
            int status = 0;
            const pid_t done = ::waitpid(pid_, &status, WNOHANG);
            if (done == pid_) {
                pid_ = -1;
                exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                return true;
            }
            if (done < 0 && errno != EINTR)
                return false;
            if (Clock::now() >= deadline)
                return false;
            ::usleep(10'000);
        }
    }

    void wait()
    {
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
    }

private:
    pid_t pid_;
};

// Reads until the pipe closes; false when the deadline passes first.
bool drain(int fd, Clock::time_point deadline, std::string& output)
{
    char buffer[8192];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return false;
        pollfd watched{fd, POLLIN, 0};
        const int ready = ::poll(&watched, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0)
            return false;
        const ssize_t got = ready < 0 ? -1 : ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return true;
        if (output.size() < output_limit)
            output.append(buffer, static_cast<std::size_t>(got));
    }
}

}  // namespace

ChildResult run_child(const std::vector<std::string>& argv, std::chrono::milliseconds limit)
{
    ChildResult result;
    int ends[2] = {-1, -1};
    if (argv.empty() || ::pipe2(ends, O_CLOEXEC) != 0)
        return result;
    const Descriptor read_end(ends[0]);
    Descriptor write_end(ends[1]);
    SpawnActions actions;
    if (!actions.redirect(write_end.get()))
        return result;

    std::vector<char*> arguments;
    for (const auto& word : argv)
        arguments.push_back(const_cast<char*>(word.c_str()));
    arguments.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, arguments[0], actions.get(), nullptr, arguments.data(), environ) != 0)
        return result;
    Child child(pid);
    result.started = true;
    write_end.reset();  // the pipe ends when the child's copies close

    const auto deadline = Clock::now() + limit;
    if (!drain(read_end.get(), deadline, result.output) || !child.wait_until(deadline, result.exit_code)) {
        result.timed_out = true;
        result.exit_code = -1;
        child.kill();
        child.wait();
    }
    return result;
}

}  // namespace tw::tool
