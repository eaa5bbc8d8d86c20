#include "runtime/CommonDialog.h"

#include <QFileDialog>
#include <QStringList>
#include <utility>

namespace platform {

namespace {

FileDialogAnswerer& installedAnswerer()
{
    static FileDialogAnswerer answerer;
    return answerer;
}

// "description|pattern|description|pattern" as Qt's name filters; a description without a
// pattern of its own is left out.
QStringList nameFilters(const QString& filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters << QStringLiteral("%1 (%2)").arg(parts[i],
                                                 QString(parts[i + 1]).replace(u';', u' '));
    return filters;
}

} // namespace

void CommonDialog::ShowOpen()
{
    const FileDialogRequest request{m_parent, InitDir, Filter, FileName};
    std::optional<QString> chosen;
    if (const auto& answerer = installedAnswerer()) {
        chosen = answerer(request);
    } else {
        QFileDialog dialog(m_parent, QString(), InitDir);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setNameFilters(nameFilters(Filter));
        if (!FileName.isEmpty())
            dialog.selectFile(FileName);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            chosen = dialog.selectedFiles().constFirst();
    }
    if (chosen)
        FileName = *chosen;
}

FileDialogAnswerer setFileDialogAnswerer(FileDialogAnswerer answerer)
{
    return std::exchange(installedAnswerer(), std::move(answerer));
}

} // namespace platform
