#include "runtime/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLoggingCategory>
#include <QTranslator>

Q_LOGGING_CATEGORY(lcTranslations, "lumaret.translations")

namespace platform {

void installJapaneseQtTranslations()
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral("qt_ja"), folder)) {
        qCWarning(lcTranslations).noquote() << "Qt's Japanese translations are missing in" << folder
                                            << "; the standard dialogs show English texts";
        delete translator;
        return;
    }
    QCoreApplication::installTranslator(translator);
}

} // namespace platform
