#pragma once
// One COM port and the worker thread that alone talks on it.
//
// Every exchange with the module (a poll, a status refresh, a dialog's read, an upload and its
// read-back) is a task queued here and run on the worker, one at a time in the order asked,
// so the window's thread never waits on the line. A task gets the port and the online flag,
// builds its protocol object around them as before and hands its results to whoever asked
// (the window code passes them to its own thread; see ui/LinkBridge.h).
//
// The link also notices a port that has gone (hang-up, EIO, an unplugged adapter): it closes
// it at once, says so through the status observer, and tries to open it again at most once a
// second, with the same COM number (its link may by then point at a new device node), until
// it is back. A port that simply does not answer is not gone: it stays open.
//
// Standard C++ only: the command-line companion uses the same link.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "serial/SerialPort.h"

class Link {
public:
    // What the window shows about the connection.
    struct Status {
        bool online = false;  // the port is open and configured
        bool gone = false;    // the port went away; reopening is being tried
        int portNumber = 0;   // 0 for a port opened by its device path
        int baud = 0;
        std::string device;  // the device path of OpenPath, else empty

        bool operator==(const Status&) const = default;
    };
    using StatusObserver = std::function<void(const Status&)>;
    // A task runs on the worker with the port and the online flag (1 while the port is open).
    using Task = std::function<void(CSerialPort& port, const int& online)>;
    // Result of an Open: CSerialPort::Open's result and, on failure, its error text.
    using OpenDone = std::function<void(int result, const std::string& errorText)>;

    Link();
    // Abandons the running task (the port's read returns within 100 ms, an upload stops
    // after its current byte), drops the queued ones, closes the port and ends the worker.
    ~Link();
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    // Called on the worker thread whenever the status changes. Set before the first Open.
    void SetStatusObserver(StatusObserver observer);

    // Queued: closes what is held, then opens COM `portNumber` at `baudRate` (8N1) with the
    // port's own steps and pause. `done` runs on the worker with the result.
    void Open(int portNumber, int baudRate, OpenDone done = {});
    // The same for a device path (fernwell-cli --device): reopened by that path.
    void OpenPath(const std::string& device, int baudRate, OpenDone done = {});
    // Queued: closes the port; the link is offline until the next Open.
    void Close();
    // Queued: runs `task` on the worker.
    void Run(Task task);
    // Runs `task` on the worker and waits for it (the command-line companion and tests; the
    // window never does).
    void Call(const Task& task);
    // Open, waiting for it. Returns Open's result; `errorText` says why it failed.
    int OpenNow(int portNumber, int baudRate, std::string* errorText = nullptr);

    // No task queued or running.
    bool Idle() const;
    // Raises the cancel flag of the running task, drops the queued ones and waits for the
    // running task to end (within about 100 ms: the port's read looks at the flag that
    // often). The next task queued runs normally. A window that goes away calls it, so that
    // no task of its own is left to report to it.
    void AbandonAndWait();

    Status CurrentStatus() const;

    // How long the link waits between two tries to reopen a port that has gone.
    static constexpr int kReopenIntervalMs = 1000;

private:
    void Worker();
    void RunTask(const Task& task);
    void AfterTask();
    void TryReopen();
    void OpenOnWorker(int portNumber, const std::string& device, int baudRate,
                      const OpenDone& done);
    int OpenPort(const Status& wanted);
    void Publish();

    CSerialPort port_;
    int online_ = 0;  // the worker's own

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Task> queue_;
    bool running_ = false;  // a task is on the worker
    bool stop_ = false;
    Status status_;             // guarded by mutex_
    std::mutex observerMutex_;  // held while the observer runs, so replacing it is final
    StatusObserver observer_;
    std::atomic<bool> cancel_{false};
    std::chrono::steady_clock::time_point lastReopen_{};  // the worker's own
    std::thread worker_;  // last: starts once everything above exists
};
