// The settings dialog on a real player window in a temporary program folder. Message boxes,
// input boxes and file pickers are answered through their seams.

#include "StrovelIds.h"
#include "dlgEnv.h"
#include "frmMain.h"
#include "mdlCommon.h"

#include "com/ComRuntime.h"
#include "com/ControlHost.h"
#include "movie/MoviePlayer.h"
#include "movie/WebEngineSetup.h"
#include "runtime/CommonDialog.h"
#include "runtime/FontNames.h"
#include "runtime/InputBox.h"
#include "runtime/Translations.h"
#include "runtime/tests/MessageBoxRecorder.h"
#include "text/Cp932.h"
#include "text/EraDate.h"

#include "platform/profile/tests/FileSizeLimit.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <deque>

namespace {

const QString ProgramDir = QStringLiteral(PROGRAM_DIR);
const QString Fixtures = QStringLiteral(MOVIE_FIXTURES);

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray settings(const QStringList& lines)
{
    return platform::toCp932(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
}

// File pickers answered in turn: a path, or "" for Cancel. Remembers what each was asked.
struct Pickers
{
    std::deque<QString> answers;
    QList<platform::FileDialogRequest> asked;
    Pickers()
    {
        platform::setFileDialogAnswerer(
            [this](const platform::FileDialogRequest& r) -> std::optional<QString> {
                asked << r;
                const QString a = answers.empty() ? QString() : answers.front();
                if (!answers.empty())
                    answers.pop_front();
                return a.isEmpty() ? std::nullopt : std::optional<QString>(a);
            });
    }
    ~Pickers() { platform::setFileDialogAnswerer({}); }
};

struct InputBoxes
{
    QString answer;
    InputBoxes()
    {
        platform::setInputBoxAnswerer([this](const platform::InputBoxRequest&) { return answer; });
    }
    ~InputBoxes() { platform::setInputBoxAnswerer({}); }
};

} // namespace

class TestDlgEnv : public QObject
{
    Q_OBJECT

    QTemporaryDir config;
    std::unique_ptr<QTemporaryDir> folder;
    std::unique_ptr<frmMain> window;
    // The players' clock: a fixed Monday morning, whatever today is.
    QDateTime now{QDate(2026, 12, 7), QTime(9, 0)};

    QString file(const QString& name) const { return folder->filePath(name); }
    void openPlayer(const QStringList& lines = {})
    {
        if (!lines.isEmpty())
            writeFile(file(mdlCommon::SettingsFileName), settings(lines));
        window = std::make_unique<frmMain>(folder->path(), nullptr, [this] { return now; });
    }

private slots:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        platform::com::setHostProgramFolder(ProgramDir);
    }
    void init()
    {
        folder = std::make_unique<QTemporaryDir>();
        for (const char* name : {"on.bmp", "off.bmp"})
            QFile::copy(QDir(ProgramDir).filePath(QLatin1String(name)), file(QLatin1String(name)));
        QFile::link(QDir(ProgramDir).filePath(QStringLiteral("ruffle")),
                    file(QStringLiteral("ruffle")));
        QDir(folder->path()).mkpath(QStringLiteral("img"));
        QDir(folder->path()).mkpath(QStringLiteral("ani"));
    }
    void cleanup()
    {
        window.reset();
        now = QDateTime(QDate(2026, 12, 7), QTime(9, 0));
        folder.reset();
    }

    // Image mode: the rows enabled, the stored effect name kept although the switch empties it.
    void loadsImageMode()
    {
        openPlayer({"[ENVIRONMENT]", "optTarget=1", "txtAnime=フェード.swf", "txtImg_0=a.jpg",
                    "txtTime=5", "optTelop=1", "txtTelop=テロップ", "chkDate=yes"});
        dlgEnv dialog(*window);
        QVERIFY(dialog.optTarget[1]->isChecked());
        QCOMPARE(dialog.lblSwf->text(), QStringLiteral("表示効果"));
        QCOMPARE(dialog.txtAnime->text(), QStringLiteral("フェード.swf"));
        QVERIFY(dialog.txtImg[9]->isEnabled() && dialog.cmdImg[9]->isEnabled() &&
                dialog.txtTime->isEnabled());
        QVERIFY(dialog.optTelop[1]->isChecked());
        QVERIFY(!dialog.txtTelop->isEnabled() && !dialog.chkDate->isEnabled());
        QCOMPARE(dialog.txtTelop->text(), QStringLiteral("テロップ"));
        QVERIFY(!dialog.chkDate->isChecked());
        // A screenshot of the dialog in image mode, for looking at the layout.
        dialog.grab().save(QStringLiteral(BUILD_DIR "/dlgEnv-image-mode.png"));
    }

    void opensWithDesignValuesWithoutSettings()
    {
        openPlayer();
        dlgEnv dialog(*window);
        QVERIFY(dialog.optTarget[0]->isChecked());
        QCOMPARE(dialog.txtAnime->text(), QStringLiteral("quandor.swf"));
        QCOMPARE(dialog.txtTime->text(), QStringLiteral("3"));
        QVERIFY(!dialog.txtImg[0]->isEnabled());
        QCOMPARE(dialog.txtTelop->text(), mdlCommon::DefaultTelopText);
        QCOMPARE(dialog.size(), QSize(522, 481));
        QCOMPARE(dialog.txtImg[3]->geometry(), QRect(96, 144, 233, 18));

        // On a larger screen the dialog grows with the player.
        window->resize(1920, 1080);
        dlgEnv larger(*window);
        QCOMPARE(larger.size(), QSize(734, 676));
    }

    // Flags other than "1" come back as "0"; everything else as it was.
    void writeEnvNormalisesFlags()
    {
        openPlayer({"[ENVIRONMENT]", "optTarget=2", "txtAnime=a.swf", "optTelop=", "chkDate=x",
                    "TelopInterval=60"});
        dlgEnv dialog(*window);
        dialog.WriteEnv();
        const QString f = file(mdlCommon::SettingsFileName);
        QCOMPARE(mdlCommon::GetIniString(f, "ENVIRONMENT", "optTarget", "?"), QStringLiteral("0"));
        QCOMPARE(mdlCommon::GetIniString(f, "ENVIRONMENT", "optTelop", "?"), QStringLiteral("0"));
        QCOMPARE(mdlCommon::GetIniString(f, "ENVIRONMENT", "chkDate", "?"), QStringLiteral("0"));
        QCOMPARE(mdlCommon::GetIniString(f, "ENVIRONMENT", "TelopInterval", "?"),
                 QStringLiteral("60"));
    }

    // The five checks, in their order; a failure keeps the dialog open and writes nothing.
    void checks_data()
    {
        QTest::addColumn<bool>("images");
        QTest::addColumn<QString>("effect");
        QTest::addColumn<QString>("firstImage");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("message"); // "" when OK passes
        QTest::newRow("animation without movie") << false << ""
                                                 << ""
                                                 << "0"
                                                 << "アニメーションが未選択です。";
        QTest::newRow("animation ignores image fields") << false << "a.swf"
                                                        << ""
                                                        << "0"
                                                        << "";
        QTest::newRow("no effect, no image: only the effect") << true << ""
                                                              << ""
                                                              << "5"
                                                              << "効果が未選択です。";
        QTest::newRow("no first image") << true << "e.swf"
                                        << ""
                                        << "5"
                                        << "表示する画像ファイルが未定義です。";
        QTest::newRow("no time") << true << "e.swf"
                                 << "a.jpg"
                                 << ""
                                 << "画像を表示する時間が未入力です。";
        QTest::newRow("2 s") << true << "e.swf"
                             << "a.jpg"
                             << "2"
                             << "画像を表示する時間が範囲外です。";
        QTest::newRow("61 s") << true << "e.swf"
                              << "a.jpg"
                              << "61"
                              << "画像を表示する時間が範囲外です。";
        QTest::newRow("003 passes") << true << "e.swf"
                                    << "a.jpg"
                                    << "003"
                                    << "";
        QTest::newRow("pasted 2.5 fails") << true << "e.swf"
                                          << "a.jpg"
                                          << "2.5"
                                          << "画像を表示する時間が範囲外です。";
        QTest::newRow("60.5 passes") << true << "e.swf"
                                     << "a.jpg"
                                     << "60.5"
                                     << "";
        QTest::newRow("100000") << true << "e.swf"
                                << "a.jpg"
                                << "100000"
                                << "画像を表示する時間が範囲外です。";
    }
    void checks()
    {
        QFETCH(bool, images);
        QFETCH(QString, effect);
        QFETCH(QString, firstImage);
        QFETCH(QString, time);
        QFETCH(QString, message);
        openPlayer();
        dlgEnv dialog(*window);
        dialog.optTarget[images ? 1 : 0]->setChecked(true);
        dialog.txtAnime->setText(effect);
        dialog.txtImg[0]->setText(firstImage);
        dialog.txtTime->setText(time);
        MessageBoxRecorder answers;
        dialog.OKButton_Click();
        if (message.isEmpty()) {
            QVERIFY(answers.requests.isEmpty());
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
            QCOMPARE(mdlCommon::GetIniString(file(mdlCommon::SettingsFileName), "ENVIRONMENT",
                                             "txtTime", "?"),
                     time);
        } else {
            QCOMPARE(answers.texts(), QStringList{message});
            QCOMPARE(answers.requests[0].icon, QMessageBox::NoIcon);
            QVERIFY(!QFile::exists(file(mdlCommon::SettingsFileName)));
            QCOMPARE(window->timIntval.interval(), 1000); // not touched: still the start-up's
        }
    }

    // Image mode: the placeholder first, then the slide parameters, then the effect movie.
    void commitsImageMode()
    {
        openPlayer();
        dlgEnv dialog(*window);
        dialog.optTarget[1]->setChecked(true);
        dialog.txtAnime->setText(QStringLiteral("フェード.swf"));
        dialog.txtImg[0]->setText(QStringLiteral("a.jpg"));
        dialog.txtImg[2]->setText(QStringLiteral("画像.jpg"));
        dialog.txtTime->setText(QStringLiteral("3"));
        dialog.txtTelop->setText(QStringLiteral(" 開店 "));
        dialog.chkDate->setChecked(true);
        QSignalSpy movies(window->swf1, &platform::movie::MoviePlayer::movieChanged);
        dialog.OKButton_Click();
        QCOMPARE(movies.count(), 2);
        QCOMPARE(movies[0][0].toString(), file(QStringLiteral("img/dummy.swf")));
        QCOMPARE(movies[1][0].toString(), file(QStringLiteral("img/フェード.swf")));
        QCOMPARE(readFile(file(mdlCommon::SlideParamsFileName)),
                 QByteArray("interface2=3000#3#a.jpg#") +
                     platform::toCp932(QStringLiteral("画像.jpg")));
        QVariant text;
        window->stvTelop->getProperty(strovel::dispid::Text, &text);
        QCOMPARE(text.toString(),
                 platform::japaneseEraDatePrefix(now.date()) + QStringLiteral(" 開店 "));
        QCOMPARE(window->flashHeight(), 677.0);
        QCOMPARE(window->timIntval.interval(), 1000);
    }

    void hiddenTelopKeepsItsText()
    {
        openPlayer({"[ENVIRONMENT]", "txtAnime=a.swf", "txtTelop=前の文"});
        dlgEnv dialog(*window);
        dialog.optTelop[1]->setChecked(true);
        dialog.txtTelop->setText(QStringLiteral("新しい文"));
        dialog.OKButton_Click();
        QVariant text;
        window->stvTelop->getProperty(strovel::dispid::Text, &text);
        QCOMPARE(text.toString(), QStringLiteral("前の文"));
        QVERIFY(!window->stvTelop->isVisibleTo(window.get()));
        QCOMPARE(window->flashHeight(), 803.0);
    }

    void cancelWritesNothing()
    {
        openPlayer();
        window->timIntval.setInterval(0);
        dlgEnv dialog(*window);
        dialog.txtAnime->setText(QStringLiteral("other.swf"));
        dialog.CancelButton_Click();
        QVERIFY(!QFile::exists(file(mdlCommon::SettingsFileName)));
        QCOMPARE(window->timIntval.interval(), 1000);
    }

    // One picker for the movie and all images: its file name carries over, a cancel keeps it,
    // and the movie picker starts empty.
    void pickersShareTheirFileName()
    {
        openPlayer();
        dlgEnv dialog(*window);
        dialog.optTarget[1]->setChecked(true);
        dialog.txtImg[1]->setText(QStringLiteral("kept.jpg"));
        Pickers pickers;
        pickers.answers = {QStringLiteral("/elsewhere/one.jpg"),
                           QString(),
                           QStringLiteral("/x/movie.swf"),
                           QString(),
                           QString(),
                           QString()};
        dialog.cmdImg_Click(0);
        QCOMPARE(dialog.txtImg[0]->text(), QStringLiteral("one.jpg"));
        dialog.cmdImg_Click(1); // cancelled: the row stays as it was
        QCOMPARE(pickers.asked[1].fileName, QStringLiteral("/elsewhere/one.jpg"));
        QCOMPARE(dialog.txtImg[1]->text(), QStringLiteral("kept.jpg"));
        dialog.cmdAnime_Click();
        QCOMPARE(pickers.asked[2].initDir, file(QStringLiteral("img")));
        QCOMPARE(pickers.asked[2].filter, QStringLiteral("Flash ファイル (*.swf)|*.swf"));
        QCOMPARE(dialog.txtAnime->text(), QStringLiteral("movie.swf"));
        dialog.cmdImg_Click(2); // cancelled: the row stays empty
        QCOMPARE(dialog.txtImg[2]->text(), QString());
        QCOMPARE(pickers.asked[3].filter, QStringLiteral("画像 ファイル (*.jpg)|*.jpg|*.jpeg"));
        dialog.cmdAnime_Click(); // cancelled: the movie stays
        QCOMPARE(dialog.txtAnime->text(), QStringLiteral("movie.swf"));
        dialog.cmdImg_Click(3);
        QCOMPARE(dialog.txtImg[3]->text(), QString());
    }

    // Save under a name, save again, load: the set comes from "save" whatever folder it was
    // chosen in. Names that are not plain file names are refused.
    void settingSets()
    {
        openPlayer({"[ENVIRONMENT]", "txtAnime=a.swf"});
        QDir(folder->path()).rmdir(QStringLiteral("save"));
        dlgEnv dialog(*window);
        InputBoxes names;
        names.answer = QStringLiteral("朝の設定");
        dialog.txtTelop->setText(QStringLiteral("おはよう"));
        dialog.cmdSave_Click();
        const QString set = file(QStringLiteral("save/朝の設定"));
        QCOMPARE(readFile(set), readFile(file(mdlCommon::SettingsFileName)));
        dialog.txtTelop->setText(QStringLiteral("こんにちは"));
        dialog.cmdSave_Click(); // replaced without a question
        QCOMPARE(mdlCommon::GetIniString(set, "ENVIRONMENT", "txtTelop", "?"),
                 QStringLiteral("こんにちは"));

        MessageBoxRecorder answers;
        for (const QString& bad :
             {QStringLiteral("../lumaret.ini"), QStringLiteral(".."), QStringLiteral("a\\b")}) {
            names.answer = bad;
            dialog.cmdSave_Click();
        }
        QCOMPARE(answers.requests.size(), 3);
        QVERIFY(!QFile::exists(folder->filePath(QStringLiteral("lumaret.ini.bak"))));

        writeFile(file(mdlCommon::SettingsFileName),
                  settings({"[ENVIRONMENT]", "optTarget=1", "txtAnime=x.swf"}));
        Pickers pickers;
        pickers.answers = {QStringLiteral("/somewhere/else/朝の設定"),
                           QStringLiteral("/save/none")};
        dialog.cmdLoad_Click();
        QCOMPARE(readFile(file(mdlCommon::SettingsFileName)), readFile(set));
        QCOMPARE(dialog.txtTelop->text(), QStringLiteral("こんにちは"));
        QVERIFY(dialog.optTarget[0]->isChecked());
        const QByteArray before = readFile(file(mdlCommon::SettingsFileName));
        dialog.cmdLoad_Click(); // a set that is not in "save"
        QCOMPARE(answers.requests.size(), 4);
        QCOMPARE(readFile(file(mdlCommon::SettingsFileName)), before);

        // A link planted in "save" leads nothing of its target into the settings.
        writeFile(file(QStringLiteral("secret")), settings({"[ENVIRONMENT]", "txtTelop=秘密"}));
        QVERIFY(QFile::link(file(QStringLiteral("secret")), file(QStringLiteral("save/秘密"))));
        pickers.answers = {file(QStringLiteral("save/秘密"))};
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("cannot take the set 秘密 .*leads out"));
        dialog.cmdLoad_Click();
        QCOMPARE(answers.requests.size(), 5);
        QCOMPARE(readFile(file(mdlCommon::SettingsFileName)), before);
    }

    // A full disk: saving or loading a set says so and changes no file; OK keeps the old
    // settings and slide parameters instead of leaving them empty.
    void fullDiskChangesNoFile()
    {
        const QByteArray stored =
            settings({"[ENVIRONMENT]", "optTarget=1", "txtAnime=e.swf", "txtImg_0=old.jpg"});
        openPlayer({"[ENVIRONMENT]", "optTarget=1", "txtAnime=e.swf", "txtImg_0=old.jpg"});
        writeFile(file(mdlCommon::SlideParamsFileName), "interface2=5000#1#old.jpg");
        writeFile(file(QStringLiteral("save/夜")), settings({"[ENVIRONMENT]", "txtTelop=夜"}));
        const auto files = [this] {
            return QDir(folder->path()).entryList(QDir::Files) +
                   QDir(file(QStringLiteral("img"))).entryList(QDir::Files) +
                   QDir(file(QStringLiteral("save"))).entryList(QDir::Files);
        };
        const QStringList before = files();
        dlgEnv dialog(*window);
        InputBoxes names;
        names.answer = QStringLiteral("朝");
        Pickers pickers;
        pickers.answers = {file(QStringLiteral("save/夜"))};
        MessageBoxRecorder answers;
        dialog.txtTelop->setText(QStringLiteral("新しい"));
        dialog.txtImg[0]->setText(QStringLiteral("new.jpg"));
        dialog.txtTime->setText(QStringLiteral("5"));
        {
            const FileSizeLimit full{20};
            dialog.cmdSave_Click();
            dialog.cmdLoad_Click();
            dialog.OKButton_Click();
        }
        QCOMPARE(answers.texts(), QStringList({QStringLiteral("設定を保存できませんでした。"),
                                               QStringLiteral("設定を読み込めませんでした。")}));
        QCOMPARE(readFile(file(mdlCommon::SettingsFileName)), stored);
        QCOMPARE(readFile(file(mdlCommon::SlideParamsFileName)),
                 QByteArray("interface2=5000#1#old.jpg"));
        QCOMPARE(files(), before);
    }

    // A set is saved only from settings stored in full: when they can not be written, no set
    // is made from the file as it was (small enough here to be copied).
    void setIsNotSavedFromTheOldSettings()
    {
        openPlayer({"[ENVIRONMENT]", "optTarget=1"});
        dlgEnv dialog(*window);
        InputBoxes names;
        names.answer = QStringLiteral("朝");
        MessageBoxRecorder answers;
        dialog.txtTelop->setText(QString(200, u'x'));
        {
            const FileSizeLimit limit{100};
            dialog.cmdSave_Click();
        }
        QCOMPARE(answers.texts(), QStringList(QStringLiteral("設定を保存できませんでした。")));
        QVERIFY(!QFile::exists(file(QStringLiteral("save/朝"))));
    }

    // Closing the dialog without OK, any way, is a Cancel: the presentation restarts and the
    // supervision runs again, once.
    void everyCloseWithoutOkIsCancel_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Escape") << "Escape";
        QTest::newRow("Escape in the time box") << "Escape in the time box";
        QTest::newRow("title bar") << "title bar";
        QTest::newRow("reject()") << "reject()";
        QTest::newRow("Cancel button") << "Cancel button";
    }
    void everyCloseWithoutOkIsCancel()
    {
        QFETCH(QString, how);
        openPlayer({"[ENVIRONMENT]", "optTarget=1", "txtTime=5"});
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        int rejected = 0;
        QTimer::singleShot(0, this, [&] {
            auto* dialog = qobject_cast<dlgEnv*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            connect(dialog, &QDialog::rejected, this, [&] { ++rejected; });
            if (how == QLatin1String("Escape")) {
                QTest::keyClick(dialog, Qt::Key_Escape);
            } else if (how == QLatin1String("Escape in the time box")) {
                dialog->optTarget[1]->click();
                dialog->txtTime->setFocus();
                QTest::keyClick(dialog->txtTime, Qt::Key_Escape);
            } else if (how == QLatin1String("title bar")) {
                dialog->close();
            } else if (how == QLatin1String("reject()")) {
                dialog->reject();
            } else {
                dialog->CancelButton->click();
            }
        });
        window->cmdEnv_Click();
        QCOMPARE(rejected, 1);
        QCOMPARE(window->timIntval.interval(), 1000);
    }

    // In the time box only typed characters meet the digit filter: Tab and Shift+Tab move on,
    // Enter is OK.
    void timeBoxKeepsNavigationKeys()
    {
        openPlayer({"[ENVIRONMENT]", "optTarget=1", "txtAnime=e.swf", "txtImg_0=a.jpg"});
        dlgEnv dialog(*window);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        dialog.activateWindow();
        dialog.txtTime->setFocus();
        QTRY_VERIFY(dialog.txtTime->hasFocus());
        QWidget* before = dialog.txtTime->previousInFocusChain();
        while (!(before->focusPolicy() & Qt::TabFocus) || !before->isEnabled())
            before = before->previousInFocusChain();
        QTest::keyClick(dialog.txtTime, Qt::Key_Tab);
        QVERIFY(!dialog.txtTime->hasFocus());
        dialog.txtTime->setFocus();
        QTest::keyClick(dialog.txtTime, Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), before);

        dialog.txtTime->setFocus();
        dialog.txtTime->clear();
        QTest::keyClicks(dialog.txtTime, QStringLiteral("4x"));
        QCOMPARE(dialog.txtTime->text(), QStringLiteral("4"));
        QSignalSpy accepted(&dialog, &QDialog::accepted);
        QTest::keyClick(dialog.txtTime, Qt::Key_Return);
        QCOMPARE(accepted.count(), 1);
        QCOMPARE(mdlCommon::GetIniString(file(mdlCommon::SettingsFileName), "ENVIRONMENT",
                                         "txtTime", "?"),
                 QStringLiteral("4"));
    }

    // Set names that can not be saved and loaded back as themselves are refused.
    void unsafeSetNamesAreRefused()
    {
        openPlayer({"[ENVIRONMENT]", "txtAnime=a.swf"});
        dlgEnv dialog(*window);
        InputBoxes names;
        MessageBoxRecorder answers;
        const QStringList bad{"朝:夜", "c:", ".", "..", "a/b", "a\\b"};
        for (const QString& name : bad) {
            names.answer = name;
            dialog.cmdSave_Click();
        }
        QCOMPARE(answers.texts(),
                 QStringList(bad.size(), QStringLiteral("この名前では保存できません。「/」「\\」"
                                                        "「:」を含まず、「.」「..」以外の名前を"
                                                        "入力してください。")));
        QCOMPARE(QDir(file(QStringLiteral("save"))).entryList(QDir::Files), QStringList());
    }

    // OK in image mode: the placeholder replaces the running movie while the slide list is
    // still the old one, and the effect movie starts only once the new list is written.
    void slideListIsWrittenBeforeTheEffectMovieStarts()
    {
        openPlayer(
            {"[ENVIRONMENT]", "optTarget=1", "txtAnime=e.swf", "txtImg_0=old.jpg", "txtTime=5"});
        writeFile(file(mdlCommon::SlideParamsFileName), "interface2=5000#1#old.jpg");
        dlgEnv dialog(*window);
        dialog.txtImg[0]->setText(QStringLiteral("new.jpg"));
        QMap<QString, QByteArray> listWhenLoaded;
        connect(window->swf1, &platform::movie::MoviePlayer::movieChanged, this,
                [&](const QString& path) {
                    listWhenLoaded[QFileInfo(path).fileName()] =
                        readFile(file(mdlCommon::SlideParamsFileName));
                });
        dialog.OKButton_Click();
        QCOMPARE(listWhenLoaded.value(QStringLiteral("dummy.swf")),
                 QByteArray("interface2=5000#1#old.jpg"));
        QCOMPARE(listWhenLoaded.value(QStringLiteral("e.swf")),
                 QByteArray("interface2=5000#1#new.jpg"));
    }

    // Cancel plays the presentation again from its first frame.
    void cancelRestartsThePresentation()
    {
        QDir(folder->path()).mkpath(QStringLiteral("ani"));
        QVERIFY(QFile::copy(QDir(Fixtures).filePath(QStringLiteral("timeline6.swf")),
                            file(QStringLiteral("ani/timeline6.swf"))));
        openPlayer({"[ENVIRONMENT]", "optTarget=0", "txtAnime=timeline6.swf"});
        window->resize(400, 300);
        window->show();
        QTRY_VERIFY_WITH_TIMEOUT(window->swf1->FrameNum() > 5, 15000);
        dlgEnv dialog(*window); // halts the movie
        dialog.CancelButton_Click();
        QCOMPARE(window->swf1->FrameNum(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(window->swf1->FrameNum() > 2, 5000);
    }

    // A slide show stands still while the dialog is open: no picture changes behind it. OK
    // loads the placeholder, then the effect movie; both OK and Cancel start the show again
    // from its first picture. None of it needs the web player.
    void slideShowHaltsWhileTheDialogIsOpen_data()
    {
        QTest::addColumn<bool>("ok");
        QTest::newRow("OK") << true;
        QTest::newRow("Cancel") << false;
    }
    void slideShowHaltsWhileTheDialogIsOpen()
    {
        QFETCH(bool, ok);
        for (const char* movie : {"img/フェード.swf", "img/dummy.swf"})
            QVERIFY(QFile::copy(QDir(ProgramDir).filePath(QString::fromUtf8(movie)),
                                file(QString::fromUtf8(movie))));
        for (const auto& [name, colour] :
             {std::pair{"img/red.png", Qt::red}, std::pair{"img/green.png", Qt::green}}) {
            QImage picture(64, 48, QImage::Format_RGB32);
            picture.fill(colour);
            QVERIFY(picture.save(file(QLatin1String(name))));
        }
        writeFile(file(mdlCommon::SlideParamsFileName), "interface2=1000#2#red.png#green.png");
        openPlayer({"[ENVIRONMENT]", "optTarget=1", "txtAnime=フェード.swf", "txtImg_0=red.png",
                    "txtImg_1=green.png", "txtTime=3"});
        window->resize(400, 300);
        window->show();
        const auto centre = [&] {
            const QImage shot = window->swf1->grab().toImage();
            return QColor(shot.pixel(shot.width() / 2, shot.height() / 2));
        };
        const auto isColour = [&](Qt::GlobalColor colour) {
            const QColor c = centre(), expected(colour);
            return qAbs(c.red() - expected.red()) < 8 && qAbs(c.green() - expected.green()) < 8;
        };
        QTRY_VERIFY_WITH_TIMEOUT(isColour(Qt::red), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!isColour(Qt::red), 2000); // the fade to green begins

        QStringList loaded;
        connect(window->swf1, &platform::movie::MoviePlayer::movieChanged, this,
                [&](const QString& path) { loaded << QFileInfo(path).fileName(); });
        dlgEnv dialog(*window);
        const QColor halted = centre();
        for (int i = 0; i < 10; ++i) {
            QTest::qWait(250);
            QCOMPARE(centre(), halted);
        }
        ok ? dialog.OKButton_Click() : dialog.CancelButton_Click();
        const QStringList placeholderThenEffect{"dummy.swf", "フェード.swf"};
        QCOMPARE(loaded, ok ? placeholderThenEffect : QStringList());
        QTRY_VERIFY_WITH_TIMEOUT(isColour(Qt::red), 300);
        QTRY_VERIFY_WITH_TIMEOUT(isColour(Qt::green), 4500);
        QVERIFY(!window->swf1->webPlayer());
    }

    // At midnight only the date in front of the shown text changes: blanks typed around the
    // text stay, and a set that was loaded and then cancelled does not reach the screen.
    void dayChangeKeepsTheShownText_data()
    {
        QTest::addColumn<bool>("loadThenCancel");
        QTest::newRow("blanks around the text") << false;
        QTest::newRow("a set loaded, then cancelled") << true;
    }
    void dayChangeKeepsTheShownText()
    {
        QFETCH(bool, loadThenCancel);
        openPlayer({"[ENVIRONMENT]", "optTarget=0", "txtAnime=a.swf", "txtTelop=前", "chkDate=1"});
        const QDate day = now.date();
        const auto shown = [&] {
            QVariant text;
            window->stvTelop->getProperty(strovel::dispid::Text, &text);
            return text.toString();
        };
        QString expected = QStringLiteral("前");
        {
            dlgEnv dialog(*window);
            if (loadThenCancel) {
                writeFile(file(QStringLiteral("save/夜")),
                          settings({"[ENVIRONMENT]", "txtTelop=夜の部", "chkDate=1"}));
                Pickers pickers;
                pickers.answers = {file(QStringLiteral("save/夜"))};
                dialog.cmdLoad_Click();
                dialog.CancelButton_Click();
            } else {
                dialog.txtTelop->setText(QStringLiteral("  営業中  "));
                dialog.OKButton_Click();
                expected = QStringLiteral("  営業中  ");
            }
        }
        QCOMPARE(shown(), platform::japaneseEraDatePrefix(day) + expected);
        now = now.addDays(1);
        window->timIntval_Timer();
        QCOMPARE(shown(), platform::japaneseEraDatePrefix(day.addDays(1)) + expected);
    }

    // On a subordinate the dialog says whose settings it shows, and OK says once that the
    // master's next change replaces them.
    void subordinateDialogNamesItsMaster()
    {
        writeFile(file(mdlCommon::NetworkFileName),
                  settings({"[NETWORK]", "lan=1", "master=/mnt/親機"}));
        openPlayer({"[ENVIRONMENT]", "optTarget=0", "txtAnime=a.swf", "txtTelop=前"});
        dlgEnv dialog(*window);
        QVERIFY2(dialog.windowTitle().contains(QStringLiteral("/mnt/親機")),
                 qPrintable(dialog.windowTitle()));
        MessageBoxRecorder answers;
        dialog.OKButton_Click();
        QCOMPARE(answers.texts().size(), 1);
        QVERIFY(answers.texts()[0].contains(QStringLiteral("親機の設定が次に変わった")));
    }

    // The real file dialog lists what its pattern matches as the dialogs have always meant
    // it ("*.*" is every file, saved sets have no extension) and shows each description once.
    void filePickersListWhatTheirPatternsMatch_data()
    {
        QTest::addColumn<QString>("picker");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("setting sets")
            << "load"
            << "Lumaret設定 ファイル (*.*)" << QStringList{"夜.txt", "朝"};
        QTest::newRow("movies") << "movie"
                                << "Flash ファイル (*.swf)" << QStringList{"a.swf"};
    }
    void filePickersListWhatTheirPatternsMatch()
    {
        QFETCH(QString, picker);
        QFETCH(QString, description);
        QFETCH(QStringList, listed);
        for (const char* name : {"save/朝", "save/夜.txt", "ani/a.swf", "ani/read.txt"})
            writeFile(file(QString::fromUtf8(name)), "x");
        openPlayer({"[ENVIRONMENT]", "optTarget=0"});
        dlgEnv dialog(*window);
        QString shownDescription;
        QStringList shown;
        QTimer::singleShot(0, this, [&] {
            auto* files = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!files)
                return;
            auto* view = files->findChild<QListView*>(QStringLiteral("listView"));
            auto* types = files->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            // The folder is read in the background: wait for what should be there, or a while.
            const auto rows = [&] { return view->model()->rowCount(view->rootIndex()); };
            if (!QTest::qWaitFor([&] { return rows() >= listed.size(); }, 3000))
                qWarning() << "the dialog lists" << rows() << "files";
            for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row)
                shown << view->model()->index(row, 0, view->rootIndex()).data().toString();
            shownDescription = types->currentText();
            files->reject();
        });
        picker == QLatin1String("load") ? dialog.cmdLoad_Click() : dialog.cmdAnime_Click();
        shown.sort();
        QCOMPARE(shown, listed);
        QCOMPARE(shownDescription, description);
    }

    // A cancelled load after a successful one loads nothing: the set chosen before is not
    // copied again.
    void cancelledLoadLoadsNothing()
    {
        openPlayer({"[ENVIRONMENT]", "txtTelop=now"});
        writeFile(file(QStringLiteral("save/朝")), settings({"[ENVIRONMENT]", "txtTelop=朝"}));
        dlgEnv dialog(*window);
        Pickers pickers;
        pickers.answers = {file(QStringLiteral("save/朝")), QString()};
        dialog.cmdLoad_Click();
        QCOMPARE(dialog.txtTelop->text(), QStringLiteral("朝"));
        const QByteArray changed = settings({"[ENVIRONMENT]", "txtTelop=later"});
        writeFile(file(mdlCommon::SettingsFileName), changed);
        dialog.cmdLoad_Click(); // cancelled
        QCOMPARE(readFile(file(mdlCommon::SettingsFileName)), changed);
    }

    void clearAsksFirstAndKeepsTheTime()
    {
        openPlayer(
            {"[ENVIRONMENT]", "optTarget=1", "txtAnime=e.swf", "txtImg_0=a.jpg", "txtTime=7"});
        dlgEnv dialog(*window);
        {
            MessageBoxRecorder cancel(QMessageBox::Cancel);
            dialog.cmdClr_Click();
            QCOMPARE(cancel.requests[0].title, QStringLiteral("選択リセット確認"));
        }
        QCOMPARE(dialog.txtImg[0]->text(), QStringLiteral("a.jpg"));
        MessageBoxRecorder ok;
        dialog.cmdClr_Click();
        QCOMPARE(dialog.txtAnime->text(), QString());
        QCOMPARE(dialog.txtImg[0]->text(), QString());
        QCOMPARE(dialog.txtTime->text(), QStringLiteral("7"));
    }

    // Only typed digits reach the time box: typed letters, pasted text and text committed
    // by an input method do not.
    void onlyDigitsReachTheTime_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("typed") << "type"
                               << "1a-.5 "
                               << "15";
        QTest::newRow("Ctrl+V") << "ctrl+v"
                                << "15a"
                                << "";
        QTest::newRow("Shift+Insert") << "shift+insert"
                                      << "15a"
                                      << "";
        QTest::newRow("input method") << "input method"
                                      << "1５a5"
                                      << "15";
    }
    void onlyDigitsReachTheTime()
    {
        QFETCH(QString, way);
        QFETCH(QString, text);
        QFETCH(QString, shown);
        openPlayer({"[ENVIRONMENT]", "optTarget=1"});
        dlgEnv dialog(*window);
        dialog.show();
        dialog.txtTime->clear();
        dialog.txtTime->setFocus();
        QApplication::clipboard()->setText(text);
        if (way == QLatin1String("type")) {
            QTest::keyClicks(dialog.txtTime, text);
        } else if (way == QLatin1String("ctrl+v")) {
            QTest::keyClick(dialog.txtTime, Qt::Key_V, Qt::ControlModifier);
        } else if (way == QLatin1String("shift+insert")) {
            QTest::keyClick(dialog.txtTime, Qt::Key_Insert, Qt::ShiftModifier);
        } else {
            QInputMethodEvent commit;
            commit.setCommitString(text);
            QApplication::sendEvent(dialog.txtTime, &commit);
        }
        QCOMPARE(dialog.txtTime->text(), shown);
    }

    // A line break pasted into the telop box becomes a blank there: the box, the stored
    // setting and the telop then show the same line.
    void pastedLineBreaksBecomeBlanks_data()
    {
        QTest::addColumn<QString>("pasted");
        QTest::newRow("LF") << "上の行\n下の行";
        QTest::newRow("CR LF") << "上の行\r\n下の行";
    }
    void pastedLineBreaksBecomeBlanks()
    {
        QFETCH(QString, pasted);
        openPlayer({"[ENVIRONMENT]", "optTarget=0", "txtAnime=a.swf", "chkDate=0"});
        dlgEnv dialog(*window);
        dialog.show();
        dialog.txtTelop->clear();
        dialog.txtTelop->setFocus();
        QApplication::clipboard()->setText(pasted);
        QTest::keyClick(dialog.txtTelop, Qt::Key_V, Qt::ControlModifier);
        const QString line = QStringLiteral("上の行 下の行");
        QCOMPARE(dialog.txtTelop->text(), line);
        dialog.OKButton_Click();
        QCOMPARE(mdlCommon::GetIniString(file(mdlCommon::SettingsFileName), "ENVIRONMENT",
                                         "txtTelop", "?"),
                 line);
        QVariant text;
        window->stvTelop->getProperty(strovel::dispid::Text, &text);
        QCOMPARE(text.toString(), line);
    }

    // Qt's own texts around the dialog are Japanese: message-box buttons, the file dialog,
    // the text boxes' context menus.
    void standardTextsAreJapanese()
    {
        openPlayer();
        dlgEnv dialog(*window);
        QMessageBox box(QMessageBox::Question, {}, {}, QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(box.button(QMessageBox::Cancel)->text(), QStringLiteral("キャンセル"));
        const std::unique_ptr<QMenu> menu(dialog.txtTelop->createStandardContextMenu());
        QVERIFY2(menu->actions().constFirst()->text().startsWith(QStringLiteral("元に戻す")),
                 qPrintable(menu->actions().constFirst()->text()));
        QFileDialog files(&dialog);
        files.setOption(QFileDialog::DontUseNativeDialog);
        QCOMPARE(files.labelText(QFileDialog::Reject), QStringLiteral("キャンセル"));
    }

    // The help page opens through the desktop's opener; when that gives up (no browser, a
    // player run as root), in a window of the player itself.
    void helpOpensWithOrWithoutABrowser_data()
    {
        QTest::addColumn<int>("openerStatus");
        QTest::newRow("opened") << 0;
        QTest::newRow("no browser") << 3;
    }
    void helpOpensWithOrWithoutABrowser()
    {
        QFETCH(int, openerStatus);
        QTemporaryDir bin;
        writeFile(bin.filePath(QStringLiteral("xdg-open")),
                  "#!/bin/sh\necho \"$1\" > \"$(dirname \"$0\")/asked\"\nexit " +
                      QByteArray::number(openerStatus) + "\n");
        QFile::setPermissions(bin.filePath(QStringLiteral("xdg-open")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(bin.path()) + ':' + path);
        openPlayer();
        QVERIFY(QDir(folder->path()).mkpath(QStringLiteral("help")));
        QVERIFY(QFile::copy(QDir(ProgramDir).filePath(QStringLiteral("help/help.html")),
                            file(QStringLiteral("help/help.html"))));
        dlgEnv dialog(*window);
        MessageBoxRecorder boxes;
        dialog.cmdHelp_Click();
        QTRY_VERIFY(QFile::exists(bin.filePath(QStringLiteral("asked"))));
        QTest::qWait(300);
        qputenv("PATH", path);
        QCOMPARE(readFile(bin.filePath(QStringLiteral("asked"))).trimmed(),
                 QFile::encodeName(file(QStringLiteral("help/help.html"))));
        // Without a browser the page shows in the player's own window: help needs no desktop.
        QCOMPARE(boxes.requests.size(), 0);
        auto* shown = dialog.findChild<QTextBrowser*>();
        QCOMPARE(shown != nullptr, openerStatus != 0);
        if (shown)
            QVERIFY(shown->toPlainText().contains(QStringLiteral("画像を足す")));
    }

    // From the player's settings button through OK.
    void endToEnd()
    {
        openPlayer({"[ENVIRONMENT]", "optTarget=0", "txtAnime=quandor.swf", "TelopMove=2",
                    "[SYSTEM]", "menu="});
        QTimer::singleShot(0, this, [this] {
            auto* dialog = qobject_cast<dlgEnv*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->optTarget[1]->click();
            dialog->txtAnime->setText(QStringLiteral("効果無し.swf"));
            dialog->txtImg[0]->setText(QStringLiteral("quandor.jpg"));
            dialog->txtImg[1]->setText(QStringLiteral("sample1.jpg"));
            dialog->txtTime->setText(QStringLiteral("4"));
            dialog->txtTelop->setText(QStringLiteral("営業中"));
            dialog->OKButton->click();
        });
        window->cmdEnv->click();
        QByteArray expected = "[ENVIRONMENT]\r\noptTarget=1\r\ntxtAnime=" +
                              platform::toCp932(QStringLiteral("効果無し.swf")) +
                              "\r\nTelopMove=2\r\ntxtImg_0=quandor.jpg\r\ntxtImg_1=sample1.jpg\r\n";
        for (int i = 2; i < 10; ++i)
            expected += "txtImg_" + QByteArray::number(i) + "=\r\n";
        expected +=
            "txtTime=4\r\noptTelop=0\r\ntxtTelop=" + platform::toCp932(QStringLiteral("営業中")) +
            "\r\nchkDate=0\r\n[SYSTEM]\r\nmenu=\r\n";
        QCOMPARE(readFile(file(mdlCommon::SettingsFileName)), expected);
        QCOMPARE(readFile(file(mdlCommon::SlideParamsFileName)),
                 QByteArray("interface2=4000#2#quandor.jpg#sample1.jpg"));
        QCOMPARE(window->swf1->Movie(), file(QStringLiteral("img/効果無し.swf")));
        QVariant text;
        window->stvTelop->getProperty(strovel::dispid::Text, &text);
        QCOMPARE(text.toString(), QStringLiteral("営業中"));
        QCOMPARE(window->timIntval.interval(), 1000);
    }
};

int main(int argc, char* argv[])
{
    platform::movie::prepareWebEngine();
    QApplication app(argc, argv);
    platform::installFontSubstitutions();
    platform::installJapaneseQtTranslations();
    TestDlgEnv test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_dlgenv.moc"
