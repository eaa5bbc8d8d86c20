#include "runtime/DocumentOpener.h"

#include "runtime/MessageBox.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QLoggingCategory>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

Q_LOGGING_CATEGORY(lcDesktop, "lumaret.desktop")

namespace platform {

namespace {

// An opener that still runs after this long has found its application (some openers stay
// until the application ends); it is let go then, so ending the program does not end it.
constexpr int AnswerTimeMs = 10000;

} // namespace

void openDocument(const QString& path, QObject* context,
                  std::function<void(const QString& why)> failed)
{
    QPointer<QObject> asker(context);
    const auto fail = [asker, failed](const QString& why) {
        if (asker)
            failed(why);
    };
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
            fail(QStringLiteral("no program on this desktop opens documents"));
        return;
    }
    auto* process = new QProcess(QCoreApplication::instance());
    process->setProgram(opener);
    process->setArguments({path});
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(
        process, &QProcess::finished, process,
        [process, fail](int code, QProcess::ExitStatus status) {
            process->deleteLater();
            if (status != QProcess::NormalExit || code != 0)
                fail(QStringLiteral("%1 gave up (status %2)").arg(process->program()).arg(code));
        });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, fail](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart)
                             return;
                         process->deleteLater();
                         fail(process->errorString());
                     });
    QTimer::singleShot(AnswerTimeMs, process, [process] {
        process->disconnect();
        process->setParent(nullptr); // left to run on its own, not ended with the program
    });
    process->start();
}

void openDocumentOrSay(QWidget* parent, const QString& path, const QString& message,
                       const QString& title)
{
    openDocument(path, parent, [parent, path, message, title](const QString& why) {
        qCWarning(lcDesktop).noquote() << "cannot open" << path << ":" << why;
        showMessageBox({parent, message, title, QMessageBox::Warning, QMessageBox::Ok});
    });
}

} // namespace platform
