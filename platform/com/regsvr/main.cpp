// regsvr: calls a server library's registration entry points.
//
//   regsvr LIBRARY          DllRegisterServer
//   regsvr -u LIBRARY       DllUnregisterServer
//   regsvr --info LIBRARY   prints the library's version block and type library

#include "com/ComRuntime.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLibrary>
#include <cstdio>

using namespace platform::com;

namespace {

void print(const QString& text)
{
    std::fputs(qPrintable(text + u'\n'), stdout);
}

int usage()
{
    std::fputs("usage: regsvr [-u | --info] LIBRARY\n", stderr);
    return 2;
}

int callEntryPoint(const QString& path, const char* entryPoint)
{
    QLibrary library(path);
    if (!library.load()) {
        print(QStringLiteral("%1: cannot load: %2").arg(path, library.errorString()));
        return 1;
    }
    const auto function = reinterpret_cast<DllRegisterServerFunction>(library.resolve(entryPoint));
    if (!function) {
        print(QStringLiteral("%1 has no entry point %2.").arg(path, QLatin1String(entryPoint)));
        return 1;
    }
    const HResult hr = function();
    if (failed(hr)) {
        print(QStringLiteral("%1 in %2 failed: %3")
                  .arg(QLatin1String(entryPoint), path, describeHResult(hr)));
        return 1;
    }
    print(QStringLiteral("%1 in %2 succeeded.").arg(QLatin1String(entryPoint), path));
    return 0;
}

int printInfo(const QString& path)
{
    const QByteArray version = libraryResource(path, "VERSION", 1);
    const auto typeLib = libraryTypeLib(path);
    if (version.isEmpty() && !typeLib) {
        print(QStringLiteral("%1 carries no version block and no type library.").arg(path));
        return 1;
    }
    if (!version.isEmpty()) {
        const QJsonObject block = QJsonDocument::fromJson(version).object();
        print(QStringLiteral("Version block (language %1, code page %2)")
                  .arg(block["language"].toString())
                  .arg(block["codePage"].toInt()));
        print(QStringLiteral("  file version %1, product version %2")
                  .arg(block["fileVersion"].toString(), block["productVersion"].toString()));
        const QJsonObject strings = block["strings"].toObject();
        for (auto it = strings.begin(); it != strings.end(); ++it)
            print(QStringLiteral("  %1: %2").arg(it.key(), it.value().toString()));
    }
    if (typeLib) {
        print(QStringLiteral("Type library %1 %2.%3 %4 \"%5\"")
                  .arg(typeLib->name)
                  .arg(typeLib->majorVersion)
                  .arg(typeLib->minorVersion)
                  .arg(typeLib->libid.toString(QUuid::WithBraces).toUpper(), typeLib->helpString));
        for (const CoClassInfo& coclass : typeLib->coclasses)
            print(QStringLiteral("  class %1 %2 ProgID %3")
                      .arg(coclass.name, coclass.clsid.toString(QUuid::WithBraces).toUpper(),
                           coclass.progId));
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 1 && !args[0].startsWith(u'-'))
        return callEntryPoint(QFileInfo(args[0]).absoluteFilePath(), "DllRegisterServer");
    if (args.size() == 2 && args[0] == QLatin1String("-u"))
        return callEntryPoint(QFileInfo(args[1]).absoluteFilePath(), "DllUnregisterServer");
    if (args.size() == 2 && args[0] == QLatin1String("--info"))
        return printInfo(QFileInfo(args[1]).absoluteFilePath());
    return usage();
}
