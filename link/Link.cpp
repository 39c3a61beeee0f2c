#include "link/Link.h"

#include <chrono>
#include <future>
#include <utility>

namespace {

// The program's line: 8 data bits, no parity, 1 stop bit.
constexpr char kParity = 'N';
constexpr int kDataBits = 8;
constexpr int kStopBits = 1;

}  // namespace

Link::Link() : worker_([this] { Worker(); }) {
    port_.SetCancelFlag(&cancel_);
}

Link::~Link() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        queue_.clear();
    }
    cancel_ = true;
    wake_.notify_all();
    worker_.join();
    port_.Close();
}

void Link::SetStatusObserver(StatusObserver observer) {
    std::lock_guard lock(observerMutex_);
    observer_ = std::move(observer);
}

void Link::Open(int portNumber, int baudRate, OpenDone done) {
    Run([this, portNumber, baudRate, done = std::move(done)](CSerialPort&, const int&) {
        OpenOnWorker(portNumber, std::string(), baudRate, done);
    });
}

void Link::OpenPath(const std::string& device, int baudRate, OpenDone done) {
    Run([this, device, baudRate, done = std::move(done)](CSerialPort&, const int&) {
        OpenOnWorker(0, device, baudRate, done);
    });
}

int Link::OpenPort(const Status& wanted) {
    if (!wanted.device.empty()) {
        return port_.OpenPath(wanted.device, wanted.baud, kParity, kDataBits, kStopBits);
    }
    return port_.Open(wanted.portNumber, wanted.baud, kParity, kDataBits, kStopBits);
}

void Link::OpenOnWorker(int portNumber, const std::string& device, int baudRate,
                        const OpenDone& done) {
    const Status wanted{false, false, portNumber, baudRate, device};
    const int result = OpenPort(wanted);
    online_ = result == CSerialPort::kOpenOk ? 1 : 0;
    {
        std::lock_guard lock(mutex_);
        status_ = wanted;
        status_.online = online_ != 0;
    }
    Publish();
    if (done) {
        done(result, port_.LastErrorText());
    }
}

void Link::Close() {
    Run([this](CSerialPort& port, const int&) {
        port.Close();
        online_ = 0;
        {
            std::lock_guard lock(mutex_);
            status_.online = false;
            status_.gone = false;
        }
        Publish();
    });
}

void Link::Run(Task task) {
    {
        std::lock_guard lock(mutex_);
        if (stop_) {
            return;
        }
        queue_.push_back(std::move(task));
    }
    wake_.notify_all();
}

void Link::Call(const Task& task) {
    std::promise<void> finished;
    Run([&task, &finished](CSerialPort& port, const int& online) {
        task(port, online);
        finished.set_value();
    });
    finished.get_future().wait();
}

int Link::OpenNow(int portNumber, int baudRate, std::string* errorText) {
    std::promise<int> opened;
    Open(portNumber, baudRate, [&](int result, const std::string& text) {
        if (errorText != nullptr) {
            *errorText = text;
        }
        opened.set_value(result);
    });
    return opened.get_future().get();
}

bool Link::Idle() const {
    std::lock_guard lock(mutex_);
    return queue_.empty() && !running_;
}

void Link::AbandonAndWait() {
    std::unique_lock lock(mutex_);
    queue_.clear();
    if (running_) {
        cancel_ = true;
    }
    idle_.wait(lock, [this] { return !running_; });
}

Link::Status Link::CurrentStatus() const {
    std::lock_guard lock(mutex_);
    return status_;
}

void Link::Publish() {
    Status status;
    {
        std::lock_guard lock(mutex_);
        status = status_;
    }
    std::lock_guard lock(observerMutex_);
    if (observer_) {
        observer_(status);
    }
}

void Link::Worker() {
    std::unique_lock lock(mutex_);
    for (;;) {
        // Sleep until there is work; while the port is gone, wake once a second to look for it.
        const bool gone = status_.gone;
        auto ready = [this] { return stop_ || !queue_.empty(); };
        if (gone) {
            wake_.wait_for(lock, std::chrono::milliseconds(kReopenIntervalMs), ready);
        } else {
            wake_.wait(lock, ready);
        }
        if (stop_) {
            return;
        }
        if (queue_.empty()) {
            lock.unlock();
            TryReopen();
            lock.lock();
            continue;
        }
        Task task = std::move(queue_.front());
        queue_.pop_front();
        running_ = true;
        cancel_ = false;
        const bool goneBefore = status_.gone;
        lock.unlock();
        if (goneBefore) {
            TryReopen();  // a task asked while the port is gone finds it as soon as it is back
        }
        RunTask(task);
        lock.lock();
        running_ = false;
        idle_.notify_all();
    }
}

void Link::RunTask(const Task& task) {
    task(port_, online_);
    AfterTask();
}

// A port found gone is closed at once, so nothing more is written into a dead device and the
// next open can take the new node.
void Link::AfterTask() {
    if (!port_.Gone() || online_ == 0) {
        return;
    }
    port_.Close();
    online_ = 0;
    {
        std::lock_guard lock(mutex_);
        status_.online = false;
        status_.gone = true;
    }
    Publish();
}

void Link::TryReopen() {
    Status wanted;
    {
        std::lock_guard lock(mutex_);
        wanted = status_;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!wanted.gone || cancel_ ||
        now - lastReopen_ < std::chrono::milliseconds(kReopenIntervalMs * 9 / 10)) {
        return;
    }
    lastReopen_ = now;
    if (OpenPort(wanted) != CSerialPort::kOpenOk) {
        port_.Close();
        return;  // still gone: try again in a second
    }
    online_ = 1;
    {
        std::lock_guard lock(mutex_);
        status_.online = true;
        status_.gone = false;
    }
    Publish();
}
