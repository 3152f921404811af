#pragma once

#include <unistd.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

namespace zart::testing {

/// This test binary run again as the unprivileged user "nobody" (setpriv),
/// for checks that root would pass whatever the permissions: a device or a
/// folder the user may not use. Every wait is bounded.
struct UnprivilegedRun {
  /// Why the child could not be run at all (not root, no setpriv, no user
  /// "nobody", the binary out of nobody's reach); empty when it ran.
  QString skipReason;
  int exitCode = -1;
  QByteArray out;
  QString err;

  static UnprivilegedRun Start(const QStringList& args, const QProcessEnvironment& env, int timeoutMs = 30000) {
    UnprivilegedRun run;
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (::geteuid() != 0 || setpriv.isEmpty()) {
      run.skipReason = QStringLiteral("needs root and setpriv to run a check as an unprivileged user");
      return run;
    }
    QProcess child;
    child.setProcessEnvironment(env);
    child.start(setpriv, QStringList{QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                                     QStringLiteral("--clear-groups"), QCoreApplication::applicationFilePath()} +
                             args);
    if (!child.waitForStarted(timeoutMs) || !child.waitForFinished(timeoutMs)) {
      child.kill();
      child.waitForFinished(2000);
      run.err = QStringLiteral("the unprivileged child did not finish");
      return run;
    }
    run.exitCode = child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
    run.out = child.readAllStandardOutput();
    run.err = QString::fromLocal8Bit(child.readAllStandardError());
    // setpriv's own failures: unknown user or group, binary not executable.
    if (run.err.startsWith(QStringLiteral("setpriv:"))) run.skipReason = run.err.trimmed();
    return run;
  }
};

}  // namespace zart::testing
