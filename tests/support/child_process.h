// child_process.h - a forked child for tests that need a second process
// (byte-range locks, named mutexes).  Parent and child talk over two pipes
// one character at a time; the child's body returns its exit status and the
// child ends with _exit(), so no test-framework state runs twice.
#ifndef KVL_TESTS_SUPPORT_CHILD_PROCESS_H
#define KVL_TESTS_SUPPORT_CHILD_PROCESS_H

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace kvl_test {

// One end of the conversation: reads from one pipe, writes to the other.
class Channel {
public:
    Channel() = default;
    Channel(int in, int out) : in_(in), out_(out) {}

    bool send(char c) const { return ::write(out_, &c, 1) == 1; }

    // The next character, or 0 when the other side has gone.
    char receive() const {
        char c = 0;
        ssize_t n;
        do n = ::read(in_, &c, 1);
        while (n < 0 && errno == EINTR);
        return n == 1 ? c : 0;
    }

    void close() {
        if (in_ >= 0) ::close(in_);
        if (out_ >= 0) ::close(out_);
        in_ = out_ = -1;
    }

private:
    int in_ = -1;
    int out_ = -1;
};

class ChildProcess {
public:
    // Runs body(Channel &) in a child process; its result is the exit status.
    template <class Body>
    explicit ChildProcess(Body body) {
        int down[2], up[2];
        if (::pipe(down) != 0) return;
        if (::pipe(up) != 0) {
            ::close(down[0]);
            ::close(down[1]);
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(down[1]);
            ::close(up[0]);
            Channel child(down[0], up[1]);
            ::_exit(body(child));
        }
        ::close(down[0]);
        ::close(up[1]);
        parent_ = Channel(up[0], down[1]);
    }
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    ~ChildProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            wait();
        }
        parent_.close();
    }

    bool started() const { return pid_ > 0; }
    Channel &channel() { return parent_; }

    // Waits for the child; its exit status, or -1 when it did not exit.
    int wait() {
        if (pid_ <= 0) return -1;
        int status = 0;
        pid_t done;
        do done = ::waitpid(pid_, &status, 0);
        while (done < 0 && errno == EINTR);
        pid_ = -1;
        return (done > 0 && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    Channel parent_;
};

}  // namespace kvl_test

#endif  // KVL_TESTS_SUPPORT_CHILD_PROCESS_H
