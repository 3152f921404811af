#pragma once

#include <vector>

#include "settings/prompter.h"

namespace zart::testing {

/// Records every message box asked for and answers each with the same
/// answer (Cancel unless told), so nothing ever blocks a test.
class RecordingPrompter : public settings::Prompter {
 public:
  explicit RecordingPrompter(settings::Answer answer = settings::Answer::cancel) : m_answer(answer) {}
  settings::Answer Ask(const settings::Message& message) override {
    asked.push_back(message);
    return m_answer;
  }
  std::vector<settings::Message> asked;

 private:
  settings::Answer m_answer;
};

}  // namespace zart::testing
