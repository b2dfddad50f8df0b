// The main window, offscreen: its controls, labels in three languages, the operation
// frame, busy mode, the ID display, and how it closes.

#include "baud_rate_modes.h"
#include "frm_module.h"
#include "operation_frame.h"
#include "pictures.h"
#include "workflow_context.h"
#include "shape_widget.h"
#include "window_fonts.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRawFont>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>
#include <stdexcept>

namespace {

const QColor Red(255, 0, 0);
const QColor Yellow(255, 255, 0);

// What the window looked like at the moment the tone sounded.
struct ToneHeard
{
    int frequencyHz = 0;
    int durationMs = 0;
    QColor lamp;
    QString message;
    bool windowEnabled = false;
    bool hourglass = false;
};

// A window on private settings, with a tone that only takes notes.
class WindowUnderTest
{
public:
    explicit WindowUnderTest(const QString &languageFlag = {})
        : settings(folder.path() + QStringLiteral("/VANTREL/Morvale.reg")),
          workflows(
              state, messages, settings, PortMap(folder.path() + QStringLiteral("/VANTREL/ports")),
              LinkServices::system(), [this](int hz, int ms) {
                  tones.append({hz, ms, lamp()->brushColor(), label("pnMsg")->text(),
                                window->isEnabled(), QApplication::overrideCursor() != nullptr});
              })
    {
        if (!languageFlag.isNull()) {
            SharedState stored;
            stored.LanguageFlag = languageFlag;
            settings.SaveLanguageFlag(stored);
        }
        create();
    }

    void create() { window = std::make_unique<TfrmModule>(state, messages, settings, workflows); }

    // What a workflow works with on this window.
    WorkflowContext context() { return workflows.contextFor(*window); }

    template <typename T = QWidget> T *control(const char *name) const
    {
        T *found = window->findChild<T *>(QLatin1String(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }
    QLabel *label(const char *name) const { return control<QLabel>(name); }
    TShape *lamp() const { return control<TShape>("shComm"); }

    QTemporaryDir folder;
    StoredSettings settings;
    MessageTable messages;
    SharedState state;
    QList<ToneHeard> tones;
    Workflows workflows;
    std::unique_ptr<TfrmModule> window;
};

// Every text the window sets when it is labelled, in the order of labelling.
QStringList labels(const WindowUnderTest &w)
{
    auto *tabs = w.control<QTabWidget>("pcDefault");
    return {w.window->windowTitle(),
            w.label("pnVANTREL")->text(),
            w.label("pnMsg")->text(),
            w.label("pnSerial")->text(),
            w.label("pnVersion")->text(),
            w.label("lblID")->text(),
            w.label("lblBaudRate")->text(),
            w.control<QPushButton>("btnScan")->text(),
            w.control<QPushButton>("btnID")->text(),
            w.control<QPushButton>("btnBaudRate")->text(),
            w.control<QPushButton>("btnMode")->text(),
            w.control<QPushButton>("btnProcess")->text(),
            w.control<QGroupBox>("gbDefault")->title(),
            tabs->tabText(tabs->indexOf(w.control("tsDefault"))),
            w.control<QToolButton>("btnFactory")->text(),
            w.control<QPushButton>("btnExit")->text()};
}

const QString Footer = QStringLiteral("   www.vantrel.example");

} // namespace

Q_DECLARE_METATYPE(Picture)

class FrmModuleTest : public QObject
{
    Q_OBJECT

private slots:
    void designCaptionsBeforeShowing();
    void labelling_data();
    void labelling();
    void storedLanguageAtStart_data();
    void storedLanguageAtStart();
    void languageButtons_data();
    void languageButtons();
    void endOperationOrder();
    void endOperationWaitsForTheTone();
    void blinkPhases();
    void guardsReturnToIdle_data();
    void guardsReturnToIdle();
    void idDisplay_data();
    void idDisplay();
    void storedIndexOutsideTheList_data();
    void storedIndexOutsideTheList();
    void windowFlagsAndSize();
    void tabOrder();
    void enterKey_data();
    void enterKey();
    void closeWaitsForWork_data();
    void closeWaitsForWork();
    void exitClosesWithoutWritingSettings();
    void chineseTextsHaveGlyphs();
    void lampsInWords();
    void labelsNameTheirControls_data();
    void labelsNameTheirControls();
    void picturesSharpAtHigherScales_data();
    void picturesSharpAtHigherScales();
};

void FrmModuleTest::designCaptionsBeforeShowing()
{
    WindowUnderTest w;
    QCOMPARE(w.label("pnMsg")->text(), QStringLiteral("Start Scan Module"));
    QCOMPARE(w.label("pnSerial")->text(), QStringLiteral("S/N : ________"));
    QCOMPARE(w.label("lblID")->text(), QStringLiteral("ID :"));
    QCOMPARE(w.control<QPushButton>("btnScan")->text(), QStringLiteral("&Scan Module"));
    QCOMPARE(w.label("pnID")->text(), QStringLiteral("__"));
    QCOMPARE(w.lamp()->brushColor(), Red);
    QVERIFY(w.control<QCheckBox>("chkLock")->isChecked());
    QCOMPARE(w.control<QComboBox>("cmbBaudRate")->currentText(), QStringLiteral("19200,e,8,1"));
    QCOMPARE(w.control<QComboBox>("cmbMode")->currentText(), QStringLiteral("Hold(default)"));
    QCOMPARE(w.control<QScrollBar>("sbID")->value(), 1);
}

void FrmModuleTest::labelling_data()
{
    QTest::addColumn<QString>("languageFlag");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("English") << "English"
                             << QStringList{"VANTREL TX4040 Module Config V3.20-01",
                                            "VANTREL Technology Corp." + Footer,
                                            "Start Scan Module!",
                                            "S/N : ________",
                                            "VER : __.__-__",
                                            "ID:",
                                            "BaudRate:",
                                            "Scan Module",
                                            "Set Module ID",
                                            "Set Module Baud Rate (Reset)",
                                            "Set Module Mode",
                                            "Process Module",
                                            "Quick Setting",
                                            "Default",
                                            "(Factory Default)",
                                            "Exit"};
    QTest::newRow("Simplified Chinese")
        << "ChineseGB"
        << QStringList{"VANTREL TX4040 输入输出模组设定程式 V3.20-01",
                       "VANTREL股份有限公司" + Footer,
                       "请先扫描模组!",
                       "序号 : ________",
                       "版本 : __.__-__",
                       "编号:",
                       "通讯速度:",
                       "扫描模组",
                       "设定模组编号",
                       "设定通讯速度(重置)",
                       "设定模组模式",
                       "模组连线",
                       "快速设定",
                       "预设",
                       "(出厂预设)",
                       "结束"};
    QTest::newRow("Traditional Chinese")
        << "ChineseBIG5"
        << QStringList{"VANTREL TX4040 輸入輸出模組設定程式 V3.20-01",
                       "VANTREL股份有限公司" + Footer,
                       "請先掃描模組!",
                       "序號 : ________",
                       "版本 : __.__-__",
                       "編號:",
                       "通訊速度:",
                       "掃描模組",
                       "設定模組編號",
                       "設定通訊速度(重置)",
                       "設定模組模式",
                       "模組連線",
                       "快速設定",
                       "預設",
                       "(出廠預設)",
                       "結束"};
}

void FrmModuleTest::labelling()
{
    QFETCH(QString, languageFlag);
    QFETCH(QStringList, expected);
    WindowUnderTest w(languageFlag);
    w.window->show();
    QCOMPARE(labels(w), expected);
    // No caption set by the labelling carries an accelerator letter.
    for (const QString &text : labels(w))
        QVERIFY2(!text.contains(u'&'), qPrintable(text));
    // The texts that are the same in every language stay.
    QCOMPARE(w.control<QPushButton>("btnEng")->text(), QStringLiteral("English"));
    QCOMPARE(w.control<QGroupBox>("gbNONC")->title(), QStringLiteral("DI NO/NC"));
    QCOMPARE(w.control<QCheckBox>("chkDO3")->text(), QStringLiteral("DO3"));
    QCOMPARE(w.label("lblDI4")->text(), QStringLiteral("DI4"));
}

void FrmModuleTest::storedLanguageAtStart_data()
{
    QTest::addColumn<QString>("stored"); // null: no settings file
    QTest::addColumn<int>("languageIndex");
    QTest::addColumn<QString>("caption");
    const QString english = QStringLiteral("VANTREL TX4040 Module Config V3.20-01");
    QTest::newRow("nothing stored") << QString() << 0 << english;
    QTest::newRow("ChineseGB") << "ChineseGB" << 1
                               << "VANTREL TX4040 输入输出模组设定程式 V3.20-01";
    QTest::newRow("ChineseBIG5") << "ChineseBIG5" << 2
                                 << "VANTREL TX4040 輸入輸出模組設定程式 V3.20-01";
    QTest::newRow("other letter case") << "chinesegb" << 0 << english;
    QTest::newRow("empty") << "" << 0 << english;
    QTest::newRow("unknown language") << "Klingon" << 0 << english;
}

void FrmModuleTest::storedLanguageAtStart()
{
    QFETCH(QString, stored);
    QFETCH(int, languageIndex);
    QFETCH(QString, caption);
    WindowUnderTest w(stored);
    QCOMPARE(w.state.LanguageIndex, languageIndex);
    // The flag keeps the stored text, whatever it is, until a language button.
    QCOMPARE(w.state.LanguageFlag, stored.isNull() ? QStringLiteral("English") : stored);
    w.window->show();
    QCOMPARE(w.window->windowTitle(), caption);
}

void FrmModuleTest::languageButtons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("storedFlag");
    QTest::addColumn<QString>("exitCaption");
    QTest::newRow("Simplified") << "btnGB"
                                << "ChineseGB"
                                << "结束";
    QTest::newRow("Traditional") << "btnBIG5"
                                 << "ChineseBIG5"
                                 << "結束";
    QTest::newRow("English again") << "btnEng"
                                   << "English"
                                   << "Exit";
}

void FrmModuleTest::languageButtons()
{
    QFETCH(QString, button);
    QFETCH(QString, storedFlag);
    QFETCH(QString, exitCaption);
    WindowUnderTest w;
    w.window->show();
    // What the operator has set stays as it is.
    w.control<QScrollBar>("sbID")->setValue(42);
    w.control<QComboBox>("cmbBaudRate")->setCurrentIndex(9);
    w.control<QComboBox>("cmbMode")->setCurrentIndex(1);
    w.control<QCheckBox>("chkDI2")->setChecked(true);
    w.control<QCheckBox>("chkDO4")->setChecked(true);
    w.control<QCheckBox>("chkLock")->setChecked(false);
    w.control<TShape>("shDI3")->setBrushColor(Yellow);
    w.window->setLamp(LampColour::Yellow);
    w.state.ModuleFound = true;
    w.label("pnSerial")->setText(QStringLiteral("S/N : TX040001"));

    QTest::mouseClick(w.control<QPushButton>(qPrintable(button)), Qt::LeftButton);

    QCOMPARE(w.control<QPushButton>("btnExit")->text(), exitCaption);
    QVERIFY(w.label("pnSerial")->text().endsWith(QStringLiteral(" : ________")));
    QCOMPARE(w.label("pnMsg")->text(),
             w.messages.text(MessageRow::StartScanModule, w.state.LanguageIndex));
    QCOMPARE(w.label("pnID")->text(), QStringLiteral("42"));
    QCOMPARE(w.control<QComboBox>("cmbBaudRate")->currentIndex(), 9);
    QCOMPARE(w.control<QComboBox>("cmbMode")->currentIndex(), 1);
    QVERIFY(w.control<QCheckBox>("chkDI2")->isChecked());
    QVERIFY(w.control<QCheckBox>("chkDO4")->isChecked());
    QVERIFY(!w.control<QCheckBox>("chkLock")->isChecked());
    QCOMPARE(w.control<TShape>("shDI3")->brushColor(), Yellow);
    QCOMPARE(w.lamp()->brushColor(), Yellow);
    QVERIFY(w.state.ModuleFound);

    // Stored at once: a new start comes up in that language.
    SharedState reloaded;
    w.settings.LoadSettings(reloaded);
    QCOMPARE(reloaded.LanguageFlag, storedFlag);
    QCOMPARE(reloaded.LanguageIndex, w.state.LanguageIndex);
}

void FrmModuleTest::endOperationOrder()
{
    WindowUnderTest w;
    w.window->show();
    WorkflowContext context = w.context();
    auto frame = std::make_unique<OperationFrame>(context);
    QVERIFY(!w.window->isEnabled());
    QVERIFY(QApplication::overrideCursor());
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    QCOMPARE(w.lamp()->brushColor(), Red);

    frame->endWith(true, MessageRow::SetModuleIdOk, MessageRow::SetModuleIdError);
    QCOMPARE(w.tones.size(), 1);
    const ToneHeard tone = w.tones.first();
    QCOMPARE(tone.frequencyHz, 1000);
    QCOMPARE(tone.durationMs, 300);
    // Lamp, then message, then the tone, and only then the window and the cursor.
    QCOMPARE(tone.lamp, Yellow);
    QCOMPARE(tone.message, QStringLiteral("Set Module ID Ok"));
    QVERIFY(!tone.windowEnabled);
    QVERIFY(tone.hourglass);
    QVERIFY(w.window->isEnabled());
    QVERIFY(!QApplication::overrideCursor());

    frame = std::make_unique<OperationFrame>(context);
    QVERIFY(frame->refusedBeforeScan(false));
    QCOMPARE(w.tones.last().frequencyHz, 300);
    QCOMPARE(w.tones.last().lamp, Red);
    QCOMPARE(w.label("pnMsg")->text(), QStringLiteral("Start Scan Module!"));
}

void FrmModuleTest::endOperationWaitsForTheTone()
{
    MessageTable messages;
    SharedState state;
    QTemporaryDir folder;
    StoredSettings settings(folder.path() + QStringLiteral("/Morvale.reg"));
    bool enabledDuringTone = true;
    std::unique_ptr<TfrmModule> window;
    Workflows workflows(state, messages, settings, PortMap(folder.path()), LinkServices::system(),
                        [&](int, int ms) {
                            enabledDuringTone = window->isEnabled();
                            QTest::qSleep(ms); // as the real tone does
                        });
    window = std::make_unique<TfrmModule>(state, messages, settings, workflows);
    WorkflowContext context = workflows.contextFor(*window);
    OperationFrame frame(context);
    QElapsedTimer timer;
    timer.start();
    frame.endWith(true, MessageRow::SetModuleModeOk, MessageRow::SetModuleModeError);
    QVERIFY(timer.elapsed() >= 300);
    QVERIFY(!enabledDuringTone);
    QVERIFY(window->isEnabled());
}

void FrmModuleTest::blinkPhases()
{
    WindowUnderTest w;
    w.window->show();
    auto *timer = w.control<TTimer>("tmrBusy");
    QCOMPARE(timer->interval(), 200);
    QVERIFY(!timer->isActive());
    QCOMPARE(timer->Tag, 0);
    w.window->setLamp(LampColour::Yellow);

    // First busy period: the first tick after start turns the lamp red.
    w.window->setActivity(Activity::Busy);
    QVERIFY(!w.window->isEnabled());
    QVERIFY(timer->isActive());
    QTRY_COMPARE_WITH_TIMEOUT(w.lamp()->brushColor(), Red, 1000);
    QCOMPARE(timer->Tag, 1);
    w.window->setActivity(Activity::Waiting);
    QVERIFY(w.window->isEnabled());
    QVERIFY(!timer->isActive());
    // Stopping leaves the lamp as the last tick left it.
    QCOMPARE(w.lamp()->brushColor(), Red);

    // The second period goes on with the phase where the first one stopped.
    w.window->setActivity(Activity::Busy);
    QTRY_COMPARE_WITH_TIMEOUT(w.lamp()->brushColor(), Yellow, 1000);
    QCOMPARE(timer->Tag, 0);
    QTRY_COMPARE_WITH_TIMEOUT(w.lamp()->brushColor(), Red, 1000);
    w.window->setActivity(Activity::Idle);
    QVERIFY(!timer->isActive());
    QVERIFY(w.window->isEnabled());
}

void FrmModuleTest::guardsReturnToIdle_data()
{
    QTest::addColumn<bool>("busy");
    QTest::addColumn<bool>("throws");
    QTest::newRow("operation frame, early return") << false << false;
    QTest::newRow("operation frame, exception") << false << true;
    QTest::newRow("busy mode, early return") << true << false;
    QTest::newRow("busy mode, exception") << true << true;
}

void FrmModuleTest::guardsReturnToIdle()
{
    QFETCH(bool, busy);
    QFETCH(bool, throws);
    WindowUnderTest w;
    w.window->show();
    WorkflowContext context = w.context();
    auto workflow = [&] {
        std::unique_ptr<OperationFrame> frame;
        std::unique_ptr<Work> busyMode;
        if (busy)
            busyMode = std::make_unique<Work>(context, Activity::Busy);
        else
            frame = std::make_unique<OperationFrame>(context);
        QVERIFY(!w.window->isEnabled());
        if (throws)
            throw std::runtime_error("workflow failed");
    };
    try {
        workflow();
    } catch (const std::runtime_error &) {
        QVERIFY(throws);
    }
    QVERIFY(w.window->isEnabled());
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(!w.control<TTimer>("tmrBusy")->isActive());
    QVERIFY(!w.window->isWorking());
    QVERIFY(w.tones.isEmpty()); // no outcome was reached, so none is claimed
}

void FrmModuleTest::idDisplay_data()
{
    QTest::addColumn<QList<int>>("positions");
    QTest::addColumn<QString>("shown");
    QTest::newRow("1 where it already is") << QList<int>{1} << "__";
    QTest::newRow("99") << QList<int>{99} << "99";
    QTest::newRow("7") << QList<int>{7} << "07";
    QTest::newRow("back to 1") << QList<int>{50, 1} << "01";
    QTest::newRow("below the range") << QList<int>{20, -5} << "01";
    QTest::newRow("above the range") << QList<int>{150} << "99";
}

void FrmModuleTest::idDisplay()
{
    QFETCH(QList<int>, positions);
    QFETCH(QString, shown);
    WindowUnderTest w;
    auto *scrollBar = w.control<QScrollBar>("sbID");
    for (const int position : positions)
        scrollBar->setValue(position);
    QCOMPARE(w.label("pnID")->text(), shown);

    // Setting the position it already has leaves the panel as it is.
    w.label("pnID")->setText(QStringLiteral("xx"));
    scrollBar->setValue(scrollBar->value());
    QCOMPARE(w.label("pnID")->text(), QStringLiteral("xx"));
}

void FrmModuleTest::storedIndexOutsideTheList_data()
{
    QTest::addColumn<int>("storedIndex");
    QTest::addColumn<QString>("storedMode");
    QTest::addColumn<int>("listIndex");
    QTest::newRow("in the list") << 7 << "38400,e,8,1" << 7;
    QTest::newRow("too large, mode in the list") << 42 << "38400,e,8,1" << 7;
    QTest::newRow("negative, mode in the list") << -1 << "4800,n,8,1" << 0;
    QTest::newRow("too large, mode unknown") << 12 << "1200,n,8,1" << 5;
    QTest::newRow("too large, mode empty") << 1000 << "" << 5;
}

void FrmModuleTest::storedIndexOutsideTheList()
{
    QFETCH(int, storedIndex);
    QFETCH(QString, storedMode);
    QFETCH(int, listIndex);
    WindowUnderTest w;
    SharedState stored;
    stored.ScanCommNo = 4;
    stored.ScanBaudRateNo = storedIndex;
    stored.ScanBaudRate = storedMode;
    w.settings.SaveScanSettings(stored);
    w.create();
    // The pair is made whole as it is loaded: the list shows what a scan then uses.
    QCOMPARE(w.state.ScanBaudRateNo, listIndex);
    QCOMPARE(w.state.ScanBaudRate, BaudRateModes().at(listIndex));
    QCOMPARE(w.control<QComboBox>("cmbBaudRate")->currentIndex(), listIndex);
}

void FrmModuleTest::windowFlagsAndSize()
{
    WindowUnderTest w;
    w.window->show();
    const Qt::WindowFlags flags = w.window->windowFlags();
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(!(flags & Qt::WindowCloseButtonHint));
    QVERIFY(flags & Qt::WindowMinimizeButtonHint);
    QVERIFY(flags & Qt::WindowTitleHint);
    const double scale = w.window->logicalDpiX() / 96.0;
    const QSize client(qRound(560 * scale), qRound(425 * scale));
    QCOMPARE(w.window->size(), client);
    QCOMPARE(w.window->minimumSize(), client);
    QCOMPARE(w.window->maximumSize(), client);
    QCOMPARE(w.control("btnFactory")->geometry(),
             QRect(qRound(4 * scale), qRound(6 * scale), qRound(165 * scale), qRound(243 * scale)));
}

void FrmModuleTest::tabOrder()
{
    WindowUnderTest w;
    w.window->show();
    QStringList order;
    QWidget *widget = w.control("btnScan");
    do {
        if (widget->focusPolicy() & Qt::TabFocus && widget->isVisibleTo(w.window.get()) &&
            !widget->objectName().isEmpty() && !widget->objectName().startsWith(u"qt_"))
            order.append(widget->objectName());
        widget = widget->nextInFocusChain();
    } while (widget != w.control("btnScan"));
    const QStringList expected{"btnScan",    "sbID",    "btnID",      "cmbBaudRate", "btnBaudRate",
                               "cmbMode",    "btnMode", "btnProcess", "btnExit",     "pcDefault",
                               "btnFactory", "btnEng",  "btnGB",      "btnBIG5",     "chkDO1",
                               "chkDO2",     "chkDO4",  "chkDO3",     "chkDI1",      "chkDI2",
                               "chkDI3",     "chkDI4",  "chkLock",    "btnAll"};
    QCOMPARE(order, expected);
}

void FrmModuleTest::enterKey_data()
{
    QTest::addColumn<QString>("focused");
    QTest::addColumn<QString>("clicked");
    QTest::newRow("scroll bar") << "sbID"
                                << "btnScan";
    QTest::newRow("check box") << "chkDO2"
                               << "btnScan";
    QTest::newRow("list") << "cmbMode"
                          << "btnScan";
    QTest::newRow("another button takes it itself") << "btnMode"
                                                    << "btnMode";
}

void FrmModuleTest::enterKey()
{
    QFETCH(QString, focused);
    QFETCH(QString, clicked);
    WindowUnderTest w;
    w.window->show();
    QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
    auto *target = w.control<QAbstractButton>(qPrintable(clicked));
    QSignalSpy clicks(target, &QAbstractButton::clicked);
    QSignalSpy scans(w.control<QAbstractButton>("btnScan"), &QAbstractButton::clicked);
    w.control(qPrintable(focused))->setFocus();
    QTest::keyClick(w.control(qPrintable(focused)), Qt::Key_Return);
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(scans.count(), clicked == u"btnScan" ? 1 : 0);
    QTest::keyClick(w.control(qPrintable(focused)), Qt::Key_Enter);
    QCOMPARE(clicks.count(), 2);
}

void FrmModuleTest::closeWaitsForWork_data()
{
    QTest::addColumn<QString>("work");
    QTest::newRow("operation frame") << "operation";
    QTest::newRow("busy mode") << "busy";
    QTest::newRow("live loop") << "loop";
}

void FrmModuleTest::closeWaitsForWork()
{
    QFETCH(QString, work);
    WindowUnderTest w;
    w.window->show();
    w.window->setActivity(work == u"operation" ? Activity::Operation : Activity::Busy);
    if (work == u"loop")
        w.state.ProcessRunning = true;

    QVERIFY(!w.window->close());
    QVERIFY(w.window->isVisible());
    QTest::qWait(20);
    QVERIFY(w.window->isVisible());
    // The live loop is asked to end.
    QVERIFY(!w.state.ProcessRunning);

    w.window->setActivity(Activity::Idle);
    QTRY_VERIFY(!w.window->isVisible());
}

void FrmModuleTest::exitClosesWithoutWritingSettings()
{
    WindowUnderTest w;
    w.window->show();
    QTest::mouseClick(w.control<QPushButton>("btnExit"), Qt::LeftButton);
    QVERIFY(!w.window->isVisible());
    QVERIFY(!QFile::exists(w.folder.path() + QStringLiteral("/VANTREL/Morvale.reg")));
    QVERIFY(QDir(w.folder.path()).isEmpty());
}

void FrmModuleTest::chineseTextsHaveGlyphs()
{
    // The fonts are there, not stand-ins: a missing font falls back to another family.
    QCOMPARE(QFontInfo(WindowFont(16, true)).family(), WindowFontFamily);
    QFont chinese(ChineseFontFamily);
    QCOMPARE(QFontInfo(chinese).family(), ChineseFontFamily);
    const QRawFont raw = QRawFont::fromFont(chinese);
    QVERIFY(raw.isValid());
    const MessageTable messages;
    int checked = 0;
    for (int row = 0; row < MessageTable::RowCount; ++row) {
        for (int language = 1; language < MessageTable::LanguageCount; ++language) {
            for (const QChar c : messages.text(row, language)) {
                if (c.unicode() < 0x80)
                    continue;
                QVERIFY2(raw.supportsCharacter(c),
                         qPrintable(QStringLiteral("row %1: %2").arg(row).arg(c)));
                ++checked;
            }
        }
    }
    QVERIFY(checked > 300);
}

void FrmModuleTest::lampsInWords()
{
    WindowUnderTest w;
    w.window->show();
    auto accessible = [&](const char *name, QAccessible::Text text) {
        return QAccessible::queryAccessibleInterface(w.control(name))->text(text);
    };
    TfrmModule &window = *w.window;
    QCOMPARE(accessible("shComm", QAccessible::Description), QStringLiteral("idle"));
    window.setActivity(Activity::Busy);
    QCOMPARE(accessible("shComm", QAccessible::Description), QStringLiteral("busy"));
    window.setActivity(Activity::Waiting);
    window.setLamp(LampColour::Yellow);
    QCOMPARE(accessible("shComm", QAccessible::Description), QStringLiteral("success"));
    window.setLamp(LampColour::Red);
    QCOMPARE(accessible("shComm", QAccessible::Description), QStringLiteral("failure"));
    window.showInputs({false, true, false, false});
    QCOMPARE(accessible("shDI2", QAccessible::Description), QStringLiteral("on"));
    QCOMPARE(accessible("shDI1", QAccessible::Description), QStringLiteral("off"));
    window.setActivity(Activity::Idle);

    // Another language renames and redescribes at once.
    QTest::mouseClick(w.control<QPushButton>("btnBIG5"), Qt::LeftButton);
    QCOMPARE(accessible("shComm", QAccessible::Name), QStringLiteral("通訊燈"));
    QCOMPARE(accessible("shComm", QAccessible::Description), QStringLiteral("失敗"));
    QCOMPARE(accessible("shDI2", QAccessible::Description), QStringLiteral("開"));
    QCOMPARE(accessible("btnAll", QAccessible::Name), QStringLiteral("全部輸出"));
    QCOMPARE(accessible("sbID", QAccessible::Name), QStringLiteral("編號"));
    QCOMPARE(accessible("tsDefault", QAccessible::Name), QStringLiteral("預設"));
}

void FrmModuleTest::picturesSharpAtHigherScales_data()
{
    QTest::addColumn<Picture>("picture");
    QTest::addColumn<qreal>("scale");
    QTest::newRow("scan button at 2") << Picture::Scan << 2.0;
    QTest::newRow("live I/O button at 2") << Picture::Process << 2.0;
    QTest::newRow("factory button at 3") << Picture::Factory << 3.0;
    QTest::newRow("Simplified Chinese button at 2") << Picture::ChineseGB << 2.0;
    QTest::newRow("application icon at 4") << Picture::ApplicationIcon << 4.0;
}

void FrmModuleTest::picturesSharpAtHigherScales()
{
    QFETCH(Picture, picture);
    QFETCH(qreal, scale);
    const QImage source = LoadPicture(picture).toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage drawn = PictureIcon(picture)
                             .pixmap(source.size(), scale)
                             .toImage()
                             .convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(drawn.size(), source.size() * scale);
    // Every picture pixel a square of identical device pixels: nothing smoothed.
    for (int y = 0; y < drawn.height(); ++y) {
        for (int x = 0; x < drawn.width(); ++x) {
            const QRgb expected = source.pixel(int(x / scale), int(y / scale));
            if (drawn.pixel(x, y) != expected)
                QFAIL(qPrintable(QStringLiteral("device pixel %1,%2").arg(x).arg(y)));
        }
    }
}

void FrmModuleTest::labelsNameTheirControls_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("label");
    QTest::newRow("ID scroll bar") << "sbID"
                                   << "lblID";
    QTest::newRow("baud-rate list") << "cmbBaudRate"
                                    << "lblBaudRate";
}

void FrmModuleTest::labelsNameTheirControls()
{
    // What a screen reader finds in the accessibility tree: the control labelled by its label.
    QFETCH(QString, control);
    QFETCH(QString, label);
    WindowUnderTest w;
    w.window->show();
    QAccessibleInterface *named =
        QAccessible::queryAccessibleInterface(w.control(control.toLatin1().constData()));
    QVERIFY(named);
    QStringList labelledBy;
    for (const auto &[other, relation] : named->relations(QAccessible::Label))
        labelledBy << other->object()->objectName();
    QCOMPARE(labelledBy, QStringList{label});
}

QTEST_MAIN(FrmModuleTest)
#include "test_frm_module.moc"
