#include "sudz-modbus/area_link.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

area_link::area_link(int ident) : client_(ident), inputs_(client_.input_count(), 0) {
  if (pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
    std::perror("sudz-modbus: pipe");
    std::exit(1);
  }
  // A first snapshot before serving, so that no client ever reads the
  // zeros of an area not yet polled.
  if (client_.receive() < 0) {
    ended_ = true;
    stop();
  } else {
    for (int i = 0; i < static_cast<int>(inputs_.size()); ++i) inputs_[i] = client_.input_value(i);
    clock_ = client_.inputs_clock();
    thread_ = std::thread([this] { poll_loop(); });
  }
}

area_link::~area_link() {
  quit_ = true;
  if (thread_.joinable()) thread_.join();
  for (int fd : pipe_)
    if (fd >= 0) close(fd);
}

void area_link::poll_loop() {
  while (!quit_) {
    const int r = client_.receive();
    if (r < 0) {
      ended_ = true;
      stop();
      return;
    }
    if (r == 1) {
      std::lock_guard<std::mutex> hold(mutex_);
      for (int i = 0; i < static_cast<int>(inputs_.size()); ++i)
        inputs_[i] = client_.input_value(i);
      clock_ = client_.inputs_clock();
    }
  }
}

void area_link::stop() {
  const char byte = 1;
  if (pipe_[1] >= 0) {
    ssize_t ignored = write(pipe_[1], &byte, 1);
    (void)ignored;
  }
}

int area_link::input(int i) const {
  std::lock_guard<std::mutex> hold(mutex_);
  return i >= 0 && i < static_cast<int>(inputs_.size()) ? inputs_[i] : 0;
}

std::vector<int> area_link::inputs(int32_t* clock) const {
  std::lock_guard<std::mutex> hold(mutex_);
  if (clock != nullptr) *clock = clock_;
  return inputs_;
}

int32_t area_link::clock() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return clock_;
}

void area_link::zero_outputs() {
  for (int i = 0; i < output_count(); ++i) set_output(i, 0);
}
