#include "dlgEnv.h"

#include "Station.h" // the schedule section a loaded set keeps
#include "StrovelIds.h"
#include "frmMain.h"
#include "mdlCommon.h"

#include "com/ControlHost.h"
#include "movie/MoviePlayer.h"
#include "profile/AtomicFile.h"
#include "profile/RootedFolder.h"
#include "runtime/DocumentOpener.h"
#include "runtime/InputBox.h"
#include "runtime/MessageBox.h"
#include "runtime/Twips.h"
#include "text/EraDate.h"
#include "text/Numbers.h"
#include "text/Printable.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

Q_DECLARE_LOGGING_CATEGORY(lcPlayer)

using namespace mdlCommon;
using platform::twipsRect;

namespace {

const QString Circled[10] = {QStringLiteral("①"), QStringLiteral("②"), QStringLiteral("③"),
                             QStringLiteral("④"), QStringLiteral("⑤"), QStringLiteral("⑥"),
                             QStringLiteral("⑦"), QStringLiteral("⑧"), QStringLiteral("⑨"),
                             QStringLiteral("⑩")};

QFont dialogFont(const char* family)
{
    QFont font(QString::fromUtf8(family));
    font.setPointSizeF(9);
    return font;
}

void showMessage(QWidget* parent, const QString& text, const QString& title)
{
    platform::showMessageBox({parent, text, title, QMessageBox::NoIcon, QMessageBox::Ok});
}

// A set larger than any settings file is not taken.
constexpr qint64 SetSizeLimit = 1024 * 1024;

// A setting set's name must be a plain file name: the set lives directly in "save".
bool isPlainFileName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(u'/') && !name.contains(u'\\') && !name.contains(u':') &&
           !name.contains(QChar(0));
}

} // namespace

dlgEnv::dlgEnv(frmMain& owner) : QDialog(&owner), dlgSettei(this), dlgFopen(this), m_owner(owner)
{
    // On a subordinate the form shows the master's settings: the caption says whose.
    const QString master = owner.followedMaster();
    setWindowTitle(master.isEmpty() ? QStringLiteral("Lumaret 設定")
                                    : QStringLiteral("Lumaret 設定 ― 親機 %1 に従っています")
                                          .arg(platform::printable(master)));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setModal(true);
    // Twips at 15 a pixel, scaled with the player window on screens larger than 1024 x 768.
    m_scale = std::max(1.0, std::min(owner.width() / 1024.0, owner.height() / 768.0));
    QFont font = dialogFont("ＭＳ ゴシック");
    font.setPointSizeF(font.pointSizeF() * m_scale);
    setFont(font);
    setFixedSize(scaled(0, 0, 7830, 7215).size());
    createControls();
    Form_Load();
}

// The controls, created top to bottom and left to right, which is also the tab order.
void dlgEnv::createControls()
{
    const auto placed = [this](auto* widget, int left, int top, int width, int height) {
        widget->setGeometry(scaled(left, top, width, height));
        return widget;
    };
    const auto rightAligned = [&](const QString& caption, QWidget* parent, int left, int top,
                                  int width, int height) {
        auto* label = placed(new QLabel(caption, parent), left, top, width, height);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return label;
    };
    Frame1 = placed(new QGroupBox(QStringLiteral("再生ｱﾆﾒｰｼｮﾝ・画像"), this), 120, 120, 6255, 5295);
    Label1 = rightAligned(QStringLiteral("再生対象"), Frame1, 240, 360, 975, 255);
    optTarget[0] =
        placed(new QRadioButton(QStringLiteral("ｱﾆﾒｰｼｮﾝ"), Frame1), 1440, 360, 1095, 255);
    optTarget[1] =
        placed(new QRadioButton(QStringLiteral("画\u3000像"), Frame1), 2760, 360, 1095, 255);
    lblSwf = rightAligned(QStringLiteral("ｱﾆﾒｰｼｮﾝ"), Frame1, 240, 720, 975, 255);
    txtAnime = placed(new QLineEdit(QStringLiteral("quandor.swf"), Frame1), 1440, 720, 3495, 270);
    cmdAnime =
        placed(new QPushButton(QStringLiteral("選\u3000択..."), Frame1), 5040, 720, 975, 255);
    for (int i = 0; i < 10; ++i) {
        const int top = 1080 + 360 * i;
        Label3[size_t(i)] =
            rightAligned(QStringLiteral("画像") + Circled[i], Frame1, 240, top, 975, 255);
        txtImg[size_t(i)] = placed(new QLineEdit(Frame1), 1440, top, 3495, 270);
        cmdImg[size_t(i)] = placed(new QPushButton(Circled[i] + QStringLiteral("選択..."), Frame1),
                                   5040, top, 975, 255);
    }
    Label4 = rightAligned(QStringLiteral("画像表示"), Frame1, 240, 4800, 975, 255);
    txtTime = placed(new QLineEdit(QStringLiteral("3"), Frame1), 1440, 4800, 975, 270);
    Label5 = placed(new QLabel(QStringLiteral("［秒］（3～60）"), Frame1), 2520, 4800, 2415, 255);
    cmdClr = placed(new QPushButton(QStringLiteral("選択ﾘｾｯﾄ"), Frame1), 5040, 4800, 975, 255);

    Frame2 = placed(new QGroupBox(QStringLiteral("ﾃﾛｯﾌﾟ"), this), 120, 5520, 6255, 1575);
    Label6 = rightAligned(QStringLiteral("ﾃﾛｯﾌﾟ表示"), Frame2, 240, 360, 975, 255);
    optTelop[0] =
        placed(new QRadioButton(QStringLiteral("表示する"), Frame2), 1440, 360, 1095, 255);
    optTelop[1] =
        placed(new QRadioButton(QStringLiteral("表示しない"), Frame2), 2760, 360, 1335, 255);
    Label7 = rightAligned(QStringLiteral("表示ｺﾒﾝﾄ"), Frame2, 240, 720, 975, 255);
    txtTelop = placed(new QLineEdit(DefaultTelopText, Frame2), 1440, 720, 3495, 270);
    Label2 = rightAligned(QStringLiteral("ｵﾌﾟｼｮﾝ"), Frame2, 240, 1080, 975, 255);
    chkDate = placed(new QCheckBox(QStringLiteral("先頭に日付を表示する"), Frame2), 1440, 1080,
                     2415, 255);

    OKButton = placed(new QPushButton(QStringLiteral("OK"), this), 6480, 120, 1215, 375);
    CancelButton = placed(new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this), 6480, 600, 1215, 375);
    cmdHelp = placed(new QPushButton(QStringLiteral("使い方"), this), 6480, 1800, 1215, 615);
    Frame3 = placed(new QGroupBox(QStringLiteral("設定ﾃﾞｰﾀ"), this), 6480, 5520, 1215, 1575);
    cmdSave = placed(new QPushButton(QStringLiteral("保存..."), Frame3), 120, 360, 975, 495);
    cmdLoad = placed(new QPushButton(QStringLiteral("読込..."), Frame3), 120, 960, 975, 495);
    QFont buttonFont = dialogFont("ＭＳ Ｐゴシック");
    buttonFont.setPointSizeF(buttonFont.pointSizeF() * m_scale);
    cmdSave->setFont(buttonFont);
    cmdLoad->setFont(buttonFont);
    OKButton->setDefault(true);

    // Option groups: each frame holds one group. The handlers run whenever an option becomes
    // selected, by a click or by code.
    for (int16_t i = 0; i < 2; ++i) {
        connect(optTarget[size_t(i)], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                optTarget_Click(i);
        });
        connect(optTelop[size_t(i)], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                optTelop_Click(i);
        });
    }
    // The design-time state: animation mode, telop shown.
    optTarget[0]->setChecked(true);
    optTelop[0]->setChecked(true);
    txtAnime->setText(QStringLiteral("quandor.swf"));

    connect(OKButton, &QPushButton::clicked, this, &dlgEnv::OKButton_Click);
    connect(CancelButton, &QPushButton::clicked, this, &dlgEnv::CancelButton_Click);
    connect(cmdHelp, &QPushButton::clicked, this, &dlgEnv::cmdHelp_Click);
    connect(cmdAnime, &QPushButton::clicked, this, &dlgEnv::cmdAnime_Click);
    for (int16_t i = 0; i < 10; ++i)
        connect(cmdImg[size_t(i)], &QPushButton::clicked, this, [this, i] { cmdImg_Click(i); });
    connect(cmdClr, &QPushButton::clicked, this, &dlgEnv::cmdClr_Click);
    connect(cmdSave, &QPushButton::clicked, this, &dlgEnv::cmdSave_Click);
    connect(cmdLoad, &QPushButton::clicked, this, &dlgEnv::cmdLoad_Click);
    txtTime->installEventFilter(this);
    // The telop shows one line: a line break that comes in (a paste) becomes a blank in the
    // box itself, so the box, the stored setting and the telop show the same text.
    connect(txtTelop, &QLineEdit::textChanged, this, [this](const QString& text) {
        static const QRegularExpression lineBreak(
            QStringLiteral("\\r\\n|[\\r\\n\\x{2028}\\x{2029}]"));
        if (!text.contains(lineBreak))
            return;
        const int cursor = txtTelop->cursorPosition();
        const QString line = QString(text).replace(lineBreak, QStringLiteral(" "));
        txtTelop->setText(line);
        txtTelop->setCursorPosition(std::max(0, cursor - int(text.size() - line.size())));
    });
}

QRect dlgEnv::scaled(int left, int top, int width, int height) const
{
    const QRect r = twipsRect(left, top, width, height);
    return QRect(qRound(r.x() * m_scale), qRound(r.y() * m_scale), qRound(r.width() * m_scale),
                 qRound(r.height() * m_scale));
}

QString dlgEnv::inProgramFolder(const QString& name) const
{
    return QDir(m_owner.programFolder()).filePath(name);
}

// ---- Load and store ---------------------------------------------------------------------------

void dlgEnv::Form_Load()
{
    m_owner.swf1->StopPlay();
    const QString file = m_owner.settingsFile();
    if (!FileExists(file))
        return;
    const auto read = [&](const QString& key) {
        return GetIniString(file, QStringLiteral("ENVIRONMENT"), key, QString());
    };
    optTarget[read(QStringLiteral("optTarget")) == QLatin1String("1") ? 1 : 0]->setChecked(true);
    txtAnime->setText(read(QStringLiteral("txtAnime")));
    for (int i = 0; i < 10; ++i)
        txtImg[size_t(i)]->setText(read(QStringLiteral("txtImg_%1").arg(i)));
    txtTime->setText(read(QStringLiteral("txtTime")));
    optTelop[read(QStringLiteral("optTelop")) == QLatin1String("1") ? 1 : 0]->setChecked(true);
    txtTelop->setText(read(QStringLiteral("txtTelop")));
    chkDate->setChecked(read(QStringLiteral("chkDate")) == QLatin1String("1"));
}

bool dlgEnv::WriteEnv()
{
    EnvironmentSettings settings;
    settings.optTarget = optTarget[0]->isChecked() ? QStringLiteral("0") : QStringLiteral("1");
    settings.txtAnime = txtAnime->text();
    for (int i = 0; i < 10; ++i)
        settings.txtImg[size_t(i)] = txtImg[size_t(i)]->text();
    settings.txtTime = txtTime->text();
    settings.optTelop = optTelop[0]->isChecked() ? QStringLiteral("0") : QStringLiteral("1");
    settings.txtTelop = txtTelop->text();
    settings.chkDate = chkDate->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    return WriteEnvironment(m_owner.settingsFile(), settings);
}

// ---- OK and Cancel ----------------------------------------------------------------------------

// The five checks in their order; the first that fails shows its message.
bool dlgEnv::validate()
{
    const QString required = QStringLiteral("必須チェック");
    if (optTarget[0]->isChecked()) {
        if (txtAnime->text().isEmpty()) {
            say(QStringLiteral("アニメーションが未選択です。"), required);
            return false;
        }
        return true;
    }
    if (txtAnime->text().isEmpty()) {
        say(QStringLiteral("効果が未選択です。"), required);
        return false;
    }
    if (txtImg[0]->text().isEmpty()) {
        say(QStringLiteral("表示する画像ファイルが未定義です。"), required);
        return false;
    }
    if (txtTime->text().isEmpty()) {
        say(QStringLiteral("画像を表示する時間が未入力です。"), required);
        return false;
    }
    const double seconds = std::nearbyint(platform::leadingNumber(txtTime->text()));
    if (seconds < 3 || seconds > 60) {
        say(QStringLiteral("画像を表示する時間が範囲外です。"), QStringLiteral("範囲チェック"));
        return false;
    }
    return true;
}

void dlgEnv::OKButton_Click()
{
    const QDate today = m_owner.today();
    if (!validate())
        return;
    // A subordinate's own settings last until the master's next change: said once.
    if (!m_unattended && !m_owner.followedMaster().isEmpty())
        showMessage(this,
                    QStringLiteral("この PC は親機 %1 の設定に従っています。ここで変えた設定は、"
                                   "親機の設定が次に変わったときに親機のものに置き換わります。")
                        .arg(platform::printable(m_owner.followedMaster())),
                    QStringLiteral("Lumaret 設定"));
    applyToPlayer();
    if (optTelop[0]->isChecked()) {
        m_owner.stvTelop->setVisible(true);
        m_owner.setFlashHeight(677);
        m_owner.showTelopText(txtTelop->text(), chkDate->isChecked(), today);
    } else {
        m_owner.stvTelop->setVisible(false);
        m_owner.setFlashHeight(803);
    }
    WriteEnv();
    restartAndUnload(true);
}

// The new presentation. For a slide show the placeholder replaces the running movie before
// the parameter file is written, then the effect movie reads it.
void dlgEnv::applyToPlayer()
{
    if (optTarget[0]->isChecked()) {
        m_owner.swf1->setMovie(inProgramFolder(QStringLiteral("ani/") + txtAnime->text()));
        return;
    }
    m_owner.swf1->setMovie(inProgramFolder(QStringLiteral("img/dummy.swf")));
    ImageEntries images;
    for (int i = 0; i < 10; ++i)
        images[size_t(i)] = txtImg[size_t(i)]->text();
    WriteSlideParams(m_owner.programFolder(), txtTime->text(), images);
    m_owner.swf1->setMovie(inProgramFolder(QStringLiteral("img/") + txtAnime->text()));
}

void dlgEnv::CancelButton_Click()
{
    restartAndUnload(false);
}

// Escape and the title bar end here too (Qt closes a dialog through reject()): the
// presentation and the supervision never stay stopped.
void dlgEnv::reject()
{
    if (m_unloading)
        QDialog::reject();
    else
        CancelButton_Click();
}

void dlgEnv::restartAndUnload(bool accepted)
{
    m_unloading = true;
    m_owner.restartPresentation();
    m_owner.timIntval.setInterval(1000);
    accepted ? accept() : reject();
}

// Only digits and backspace reach the display time box.
void dlgEnv::txtTime_KeyPress(int16_t& keyAscii)
{
    FilterDigitKey(keyAscii);
}

// Only typed characters meet the digit filter; navigation and dialog keys (Tab, Enter,
// Escape, shortcuts), whose text is a control character, keep their usual meaning. Pasting
// has no effect, and an input method's text keeps only its digits.
bool dlgEnv::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == txtTime && event->type() == QEvent::InputMethod) {
        auto* input = static_cast<QInputMethodEvent*>(event);
        QString digits;
        for (const QChar c : input->commitString())
            if (c >= u'0' && c <= u'9')
                digits += c;
        input->setCommitString(digits, input->replacementStart(), input->replacementLength());
    }
    if (watched == txtTime && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Paste))
        return true;
    if (watched == txtTime && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString typed = key->text();
        const bool shortcut = key->modifiers() & (Qt::ControlModifier | Qt::AltModifier);
        if (!typed.isEmpty() && typed[0].unicode() >= 0x20 && typed[0].unicode() != 0x7f &&
            !shortcut) {
            int16_t code = int16_t(typed[0].unicode());
            txtTime_KeyPress(code);
            if (code == 0)
                return true; // the key is dropped
        }
    }
    return QDialog::eventFilter(watched, event);
}

// ---- Mode and telop switches ------------------------------------------------------------------

void dlgEnv::setBoxEnabled(QLineEdit* box, bool enabled)
{
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base,
                     this->palette().color(enabled ? QPalette::Base : QPalette::Button));
    box->setPalette(palette);
    box->setEnabled(enabled);
}

void dlgEnv::optTarget_Click(int16_t index)
{
    const bool images = index != 0;
    lblSwf->setText(images ? QStringLiteral("表示効果") : QStringLiteral("ｱﾆﾒｰｼｮﾝ"));
    for (int i = 0; i < 10; ++i) {
        cmdImg[size_t(i)]->setEnabled(images);
        setBoxEnabled(txtImg[size_t(i)], images);
    }
    setBoxEnabled(txtTime, images);
    txtAnime->clear();
}

void dlgEnv::optTelop_Click(int16_t index)
{
    const bool shown = index == 0;
    setBoxEnabled(txtTelop, shown);
    chkDate->setEnabled(shown);
}

// ---- Pickers, setting sets, help --------------------------------------------------------------

void dlgEnv::cmdAnime_Click()
{
    dlgFopen.FileName.clear();
    dlgFopen.InitDir =
        inProgramFolder(optTarget[1]->isChecked() ? QStringLiteral("img") : QStringLiteral("ani"));
    dlgFopen.Filter = QStringLiteral("Flash ファイル (*.swf)|*.swf");
    // A cancelled picker changes nothing.
    if (dlgFopen.ShowOpen())
        txtAnime->setText(GetFileName(dlgFopen.FileName));
}

void dlgEnv::cmdImg_Click(int16_t index)
{
    dlgFopen.InitDir = inProgramFolder(QStringLiteral("img"));
    dlgFopen.Filter = QStringLiteral("画像 ファイル (*.jpg)|*.jpg|*.jpeg");
    if (dlgFopen.ShowOpen())
        txtImg[size_t(index)]->setText(GetFileName(dlgFopen.FileName));
}

void dlgEnv::refuse(const QString& text, const QString& title)
{
    qCWarning(lcPlayer).noquote() << title << ":" << text;
    showMessage(this, text, title);
}

void dlgEnv::cmdSave_Click()
{
    const QString title = QStringLiteral("設定保存");
    const QString name =
        platform::showInputBox({this,
                                QStringLiteral("現在の設定を保存します。下の入力欄にわかりやすい名"
                                               "前を入力して「OK」をクリックしてください。"),
                                title, QStringLiteral("ここに入力した名前で保存されます")});
    if (name.isEmpty())
        return;
    // A set is a file directly in "save": names that could reach elsewhere are refused.
    if (!isPlainFileName(name)) {
        refuse(QStringLiteral(
                   "この名前では保存できません。「/」「\\」「:」を含まず、「.」「..」以外の名前を"
                   "入力してください。"),
               title);
        return;
    }
    const QString folder = inProgramFolder(QStringLiteral("save"));
    if (!QDir().mkpath(folder)) {
        refuse(QStringLiteral("保存フォルダーを作成できません。"), title);
        return;
    }
    // A set is only saved from settings that are stored in full.
    if (!WriteEnv() ||
        !platform::copyFileAtomically(m_owner.settingsFile(), QDir(folder).filePath(name)))
        refuse(QStringLiteral("設定を保存できませんでした。"), title);
}

void dlgEnv::cmdLoad_Click()
{
    const QString title = QStringLiteral("設定読込");
    const QString folder = inProgramFolder(QStringLiteral("save"));
    QDir().mkpath(folder);
    dlgSettei.InitDir = folder;
    dlgSettei.Filter = QStringLiteral("Lumaret設定 ファイル (*.*)|*.*");
    dlgSettei.FileName.clear();
    dlgSettei.ShowOpen();
    const QString name = GetFileName(dlgSettei.FileName);
    if (name.isEmpty())
        return;
    // Only the chosen file's name counts: sets are always taken from "save".
    const QString set = QDir(folder).filePath(name);
    if (!isPlainFileName(name) || !FileExists(set)) {
        refuse(QStringLiteral("「%1」は保存された設定にありません。").arg(name), title);
        return;
    }
    if (!loadSet(name)) {
        refuse(QStringLiteral("設定を読み込めませんでした。"), title);
        return;
    }
    Form_Load();
}

// The PC's schedule belongs to the PC, not to a set: it stays whatever the set holds.
// A saved set is read through the save folder itself: a link out of it (planted on a shared
// folder, say) is refused before anything of it reaches the settings.
bool dlgEnv::loadSet(const QString& name)
{
    const platform::RootedFolder::Read read =
        platform::RootedFolder(inProgramFolder(QStringLiteral("save"))).read(name, SetSizeLimit);
    if (read.outcome != platform::RootedFolder::Opened::Ok) {
        qCWarning(lcPlayer).noquote() << "cannot take the set" << platform::printable(name) << ":"
                                      << platform::printable(read.error);
        return false;
    }
    QByteArray taken = read.bytes;
    QFile current(m_owner.settingsFile());
    const QByteArray before = current.open(QIODevice::ReadOnly) ? current.readAll() : QByteArray();
    const QByteArray schedule = group::sectionBytes(before, "SCHEDULE");
    if (schedule.isEmpty() && group::sectionBytes(taken, "SCHEDULE").isEmpty())
        return platform::replaceFileContents(m_owner.settingsFile(), taken);
    taken = group::withSectionBytes(taken, "SCHEDULE", schedule);
    return platform::replaceFileContents(m_owner.settingsFile(), taken);
}

bool dlgEnv::takeSet(const QString& name)
{
    const QString set = QDir(inProgramFolder(QStringLiteral("save"))).filePath(name);
    QFile current(m_owner.settingsFile());
    const QByteArray before = current.open(QIODevice::ReadOnly) ? current.readAll() : QByteArray();
    if (!isPlainFileName(name) || !FileExists(set) || !loadSet(name)) {
        qCWarning(lcPlayer).noquote()
            << "the schedule's set" << platform::printable(name) << "is not in" << set
            << "or can not be taken; the settings stay as they are";
        restartAndUnload(false);
        return false;
    }
    Form_Load();
    m_unattended = true;
    const auto attended = qScopeGuard([this] { m_unattended = false; });
    if (!validate()) {
        qCWarning(lcPlayer).noquote() << "the schedule's set" << platform::printable(name)
                                      << "does not pass the checks; the settings stay as they are";
        platform::replaceFileContents(m_owner.settingsFile(), before);
        restartAndUnload(false);
        return false;
    }
    qCInfo(lcPlayer).noquote() << "took the set" << platform::printable(name)
                               << "as the schedule says";
    OKButton_Click();
    return true;
}

void dlgEnv::say(const QString& text, const QString& title)
{
    if (m_unattended)
        qCWarning(lcPlayer).noquote() << title << ":" << text;
    else
        showMessage(this, text, title);
}

void dlgEnv::cmdClr_Click()
{
    const auto answer =
        platform::showMessageBox({this, QStringLiteral("画面をクリアします。よろしいですか？"),
                                  QStringLiteral("選択リセット確認"), QMessageBox::NoIcon,
                                  QMessageBox::Ok | QMessageBox::Cancel});
    if (answer != QMessageBox::Ok)
        return;
    txtAnime->clear();
    for (QLineEdit* box : txtImg)
        box->clear();
}

// The help page opens in the desktop's browser; where none can be started (no desktop, a
// player run as root), in a window of the player itself, so help never depends on the desktop.
// Only a page that is not there is a message.
void dlgEnv::cmdHelp_Click()
{
    const QString page = inProgramFolder(QStringLiteral("help/help.html"));
    QPointer<dlgEnv> dialog(this);
    platform::openDocument(page, this, [dialog, page](const QString& why) {
        qCInfo(lcPlayer).noquote()
            << "no browser opens the help page (" << why << "); showing it in the player";
        if (!dialog)
            return;
        if (!FileExists(page)) {
            showMessage(dialog,
                        QStringLiteral("使い方のページを開けませんでした。\n%1 がありません。")
                            .arg(QDir::toNativeSeparators(page)),
                        QStringLiteral("使い方"));
            return;
        }
        dialog->showHelpHere(page);
    });
}

void dlgEnv::showHelpHere(const QString& page)
{
    auto* window = new QDialog(this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(QStringLiteral("使い方"));
    auto* text = new QTextBrowser(window);
    text->setOpenLinks(false); // the page is all there is to read here
    text->setSource(QUrl::fromLocalFile(page));
    auto* layout = new QVBoxLayout(window);
    layout->addWidget(text);
    window->resize(scaled(0, 0, 9000, 7500).size());
    window->show();
}
