// The SMTP dialog's line interface over plain strings: scripted input
// lines, every reply collected as sent. When the script runs out, the next
// read fails as a closed connection does.
#pragma once

#include <deque>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "intake/SmtpServerDialog.h"
#include "platform/Failure.h"

namespace testing_support {

class StringLineIO : public SmtpLineIO {
 public:
  void Feed(const std::vector<std::string>& lines) {
    input_.insert(input_.end(), lines.begin(), lines.end());
  }
  std::string ReadLine() override {
    if (input_.empty()) throw EConnectionClosed();
    std::string line = input_.front();
    input_.pop_front();
    return line;
  }
  void Send(std::string_view reply) override { sent_.append(reply); }
  void Disconnect() override { connected_ = false; }
  bool Connected() const override { return connected_; }

  bool HasInput() const { return !input_.empty(); }
  // Everything sent since the last call.
  std::string TakeSent() { return std::exchange(sent_, std::string()); }

 private:
  std::deque<std::string> input_;
  std::string sent_;
  bool connected_ = true;
};

}  // namespace testing_support
