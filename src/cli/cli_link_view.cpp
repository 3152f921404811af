#include "cli/cli_link_view.h"

namespace zart::cli {

void CliLinkView::SetStatusText(const QString& text) {
  // The link repeats its message at every tick; only a change is news.
  if (text == m_status) return;
  m_status = text;
  if (m_echo && !text.isEmpty()) m_echo(text);
}

void CliLinkView::SetSlaveAddress(int address) {
  m_switchedTo = address;
}

}  // namespace zart::cli
