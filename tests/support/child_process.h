// child_process.h - a forked child for tests that need a second process
// (byte-range locks, named mutexes).  Parent and child talk over two pipes
// a character at a time; the child's body returns its exit status and the
// child ends with _exit(), so no test-framework state runs twice.
#ifndef KVL_TESTS_SUPPORT_CHILD_PROCESS_H
#define KVL_TESTS_SUPPORT_CHILD_PROCESS_H

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace kvl_test {

// One end of the conversation: reads from one pipe, writes to the other.
struct Channel {
    int in = -1, out = -1;
    bool send(char c) const { return ::write(out, &c, 1) == 1; }
    char receive() const {  // 0 when the other side has gone
        char c = 0;
        ssize_t n;
        do n = ::read(in, &c, 1);
        while (n < 0 && errno == EINTR);
        return n == 1 ? c : 0;
    }
};

class ChildProcess {
public:
    // Runs body(Channel &) in a child process; its result is the exit status.
    template <class Body>
    explicit ChildProcess(Body body) {
        int down[2], up[2];
        if (::pipe(down) != 0 || ::pipe(up) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(down[1]), ::close(up[0]);
            Channel parent{down[0], up[1]};
            ::_exit(body(parent));
        }
        ::close(down[0]), ::close(up[1]);
        parent_ = Channel{up[0], down[1]};
    }
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;
    ~ChildProcess() {
        if (pid_ > 0) ::kill(pid_, SIGKILL), wait();
        ::close(parent_.in), ::close(parent_.out);
    }

    bool started() const { return pid_ > 0; }
    void kill() const { ::kill(pid_, SIGKILL); }
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
