#pragma once

#include <functional>
#include <vector>

#include "settings/prompter.h"

namespace zart::testing {

/// Answers message boxes from a script and records every box asked for.
/// `onAsk`, when set, runs first (to mend a file, say) and gives the answer;
/// otherwise the answers are taken in order, `fallback` once they run out.
class ScriptedPrompter : public settings::Prompter {
 public:
  ScriptedPrompter() = default;
  explicit ScriptedPrompter(settings::Answer whenScriptEnds) : fallback(whenScriptEnds) {}

  std::vector<settings::Answer> answers;
  settings::Answer fallback = settings::Answer::cancel;
  std::function<settings::Answer(const settings::Message&, int call)> onAsk;
  std::vector<settings::Message> asked;

  settings::Answer Ask(const settings::Message& message) override {
    asked.push_back(message);
    const int call = static_cast<int>(asked.size()) - 1;
    if (onAsk) {
      return onAsk(message, call);
    }
    return static_cast<std::size_t>(call) < answers.size() ? answers[static_cast<std::size_t>(call)] : fallback;
  }
};

}  // namespace zart::testing
