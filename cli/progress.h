#pragma once
// How far a long command has got, as one line on standard error redrawn in
// place. Only on a terminal (a log or a pipe gets nothing), only once the
// work has taken a moment (quick commands stay silent), and wiped when done,
// so the notes and messages after it start on a clean line.

#include <chrono>
#include <csignal>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include <pthread.h>

namespace meshara::cli {

class TerminalProgress {
public:
    // what: "drawing out.gif"; the line reads "meshara-cli: drawing out.gif: 12 of 40 pictures".
    TerminalProgress(std::string what, std::string unit);
    ~TerminalProgress();  // wipes the line
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    void Show(int64_t done, int64_t total);

    // Whether standard error is a terminal, so a line would be shown.
    static bool OnTerminal();

private:
    std::string what_, unit_;
    bool on_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point start_, last_;
};

// Runs work while the line tells how long it has been running, for work
// that cannot say how far it is (a single export). The line is drawn from
// a second thread and wiped before this returns.
template <class F>
auto WithElapsedLine(const std::string& what, F&& work) {
    if (!TerminalProgress::OnTerminal()) return work();
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::thread ticker([&] {
        // Interruptions go to the work's thread, which holds them off while a write takes its place.
        sigset_t interruptions;
        sigemptyset(&interruptions);
        for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&interruptions, signal);
        pthread_sigmask(SIG_BLOCK, &interruptions, nullptr);
        TerminalProgress line(what, "s");
        const auto start = std::chrono::steady_clock::now();
        std::unique_lock lock(mutex);
        while (!done.wait_for(lock, std::chrono::milliseconds(100), [&] { return finished; })) {
            const auto tenths = std::chrono::duration_cast<std::chrono::milliseconds>(
                                    std::chrono::steady_clock::now() - start).count() / 100;
            line.Show(tenths, -1);
        }
    });
    struct Join {
        std::mutex& m;
        std::condition_variable& c;
        bool& f;
        std::thread& t;
        ~Join() {
            {
                std::lock_guard lock(m);
                f = true;
            }
            c.notify_one();
            t.join();
        }
    } join{mutex, done, finished, ticker};
    return work();
}

}  // namespace meshara::cli
