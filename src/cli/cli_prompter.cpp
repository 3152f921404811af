#include "cli/cli_prompter.h"

#include "params/param_session.h"

namespace zart::cli {

settings::Answer CliPrompter::Ask(const settings::Message& message) {
  m_asked.push_back(message);
  switch (message.buttons) {
    case settings::Message::Buttons::ok:
      return settings::Answer::ok;
    case settings::Message::Buttons::retry_cancel:
      return settings::Answer::cancel;
    case settings::Message::Buttons::ok_cancel:
      break;
  }
  const bool writeRestQuestion = message.title == params::ParamSession::ProblemsQuestion({}).title &&
                                 message.okCaption == params::ParamSession::ProblemsQuestion({}).okCaption;
  return writeRestQuestion && m_writeRest ? settings::Answer::ok : settings::Answer::cancel;
}

}  // namespace zart::cli
