// Links the installed Strovel package and shows a telop: exit code 0 when it works.
#include <CtlStrovel.h>
#include <StrovelIds.h>

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    CtlStrovel telop;
    telop.resize(300, 60);
    telop.setText(QStringLiteral("開発"));
    telop.Action(CtlStrovel::RtoL);
    telop.show();
    const bool ok = telop.text() == QStringLiteral("開発") && !strovel::CLSID_CtlStrovel.isNull();
    return ok ? 0 : 1;
}
