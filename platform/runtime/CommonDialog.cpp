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

// A pattern list as the dialogs give it ("*.jpg;*.jpeg") as Qt matches it. "*.*" matches every
// file, as it always has for these dialogs, names without a dot among them (saved sets).
QString qtPatterns(const QString& patterns)
{
    QStringList qt;
    for (const QString& pattern : patterns.split(u';', Qt::SkipEmptyParts))
        qt << (pattern.trimmed() == QLatin1String("*.*") ? QStringLiteral("*") : pattern.trimmed());
    return qt.join(u' ');
}

// "description|pattern|description|pattern" as Qt's name filters; a description without a
// pattern of its own is left out. Qt reads the patterns from the parentheses at the end of a
// filter and, with the details hidden, shows the description exactly as given.
QStringList nameFilters(const QString& filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters << QStringLiteral("%1 (%2)").arg(parts[i], qtPatterns(parts[i + 1]));
    return filters;
}

} // namespace

bool CommonDialog::ShowOpen()
{
    const FileDialogRequest request{m_parent, InitDir, Filter, FileName};
    std::optional<QString> chosen;
    if (const auto& answerer = installedAnswerer()) {
        chosen = answerer(request);
    } else {
        QFileDialog dialog(m_parent, QString(), InitDir);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setOption(QFileDialog::HideNameFilterDetails);
        dialog.setNameFilters(nameFilters(Filter));
        if (!FileName.isEmpty())
            dialog.selectFile(FileName);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            chosen = dialog.selectedFiles().constFirst();
    }
    if (chosen)
        FileName = *chosen;
    return chosen.has_value();
}

FileDialogAnswerer setFileDialogAnswerer(FileDialogAnswerer answerer)
{
    return std::exchange(installedAnswerer(), std::move(answerer));
}

} // namespace platform
