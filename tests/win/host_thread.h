// The host's user-interface thread for the Windows tests: it owns the host's automation object in its COM
// apartment, runs the export calls it is given, and pumps messages all the while, as the host does.
#ifndef ZORVANT_TESTS_WIN_HOST_THREAD_H_
#define ZORVANT_TESTS_WIN_HOST_THREAD_H_

#include <objbase.h>
#include <windows.h>

#include <chrono>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

#include "gtest/gtest.h"
#include "host/automation_object.h"

// Longer than anything here takes unless it hangs.
inline constexpr auto kHang = std::chrono::seconds(60);

class HostThread {
 public:
  explicit HostThread(bool publish) {
    thread_ = std::thread([this, publish] {
      CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
      {
        host::HostObject object;
        object_ = &object;
        published_ = publish && object.Publish();
        ready_.set_value();
        for (;;) {
          std::function<void()> task;
          {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!tasks_.empty()) {
              task = std::move(tasks_.front());
              tasks_.pop_front();
            } else if (stop_) {
              break;
            }
          }
          if (task) {
            task();
          } else {
            host::PumpFor(5);
          }
        }
        object.Withdraw();
        object_ = nullptr;
      }
      CoUninitialize();
    });
    ready_.get_future().wait();
  }
  ~HostThread() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    thread_.join();
  }

  host::HostObject& object() { return *object_; }
  bool published() const { return published_; }

  // Runs `task` on the host's thread; the future is ready when it has.
  std::future<void> Run(std::function<void()> task) {
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> result = done->get_future();
    std::lock_guard<std::mutex> lock(mutex_);
    tasks_.push_back([task = std::move(task), done] {
      task();
      done->set_value();
    });
    return result;
  }
  // The host program quits: its object leaves the running-object table and every proxy is cut off.
  void Withdraw() {
    ASSERT_EQ(Run([this] { object_->Withdraw(); }).wait_for(kHang), std::future_status::ready);
  }

 private:
  std::thread thread_;
  std::promise<void> ready_;
  host::HostObject* object_ = nullptr;
  bool published_ = false;
  std::mutex mutex_;
  std::deque<std::function<void()>> tasks_;
  bool stop_ = false;
};

#endif  // ZORVANT_TESTS_WIN_HOST_THREAD_H_
