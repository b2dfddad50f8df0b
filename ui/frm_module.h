#pragma once

#include "language.h"
#include "message_table.h"
#include "module_window.h"
#include "shared_state.h"
#include "stored_settings.h"
#include "workflows.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <array>
#include <optional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QScrollBar;
class QTabWidget;
class QToolButton;
class TShape;

// A timer with a tag, as the busy lamp keeps its blink phase in its timer.
class TTimer : public QTimer
{
    Q_OBJECT

public:
    using QTimer::QTimer;
    int Tag = 0;
};

// The program's one window. It holds every control the operator touches; its event
// handlers are the workflows, which show their work on it and read the operator's
// choices from its controls. Controls carry their design names as object names.
class TfrmModule : public QWidget, public ModuleWindow, public OperatorChoices
{
    Q_OBJECT

public:
    TfrmModule(SharedState &state, const MessageTable &messages, const StoredSettings &settings,
               Workflows &workflows, QWidget *parent = nullptr);
    ~TfrmModule() override;

    void setActivity(Activity activity) override;
    void processMessages() override;
    void showMessage(const QString &message) override;
    void explain(const QString &reason) override;
    void setLamp(LampColour colour) override;
    void showIdentity(IdentityPanel panel, const QString &text) override;
    void showInputs(const FourFlags &on) override;
    ControlValues controls() const override;
    void setIdPosition(int position) override;
    void selectBaudRate(int index) override;
    void selectMode(OutputMode mode) override;
    void setPolarity(const FourFlags &checked) override;
    void setOutputs(const FourFlags &on) override;

    // True while a workflow runs or the window shows work in hand; a close from outside
    // then waits for it.
    bool isWorking() const
    {
        return m_workDepth > 0 || m_activity != Activity::Idle || m_state.ProcessRunning;
    }

public slots:
    void FormCreate();
    void FormShow();
    void tmrBusyTimer();
    void sbIDChange();
    void btnExitClick();
    void btnScanClick();
    void btnIDClick();
    void btnBaudRateClick();
    void btnModeClick();
    void btnFactoryClick();
    void btnProcessClick();
    void btnAllClick();
    void btnEngClick();
    void btnGBClick();
    void btnBIG5Click();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // Counts the work in hand; when the last of it ends, a close asked for meanwhile
    // is carried out.
    class WorkScope
    {
    public:
        explicit WorkScope(TfrmModule &window);
        ~WorkScope();
        WorkScope(const WorkScope &) = delete;
        WorkScope &operator=(const WorkScope &) = delete;

    private:
        TfrmModule &m_window;
    };

    void createControls();
    void setTabOrder();
    void connectHandlers();
    // Runs a click handler; an exception that escapes it is shown in the standard
    // exception box and the window carries on.
    void handle(void (TfrmModule::*handler)());
    void switchLanguage(const Language &language);
    // Accessible names and the lamps' states in words, in the current language.
    void nameControls();
    void describeLamps();
    // A message row in the current language.
    QString text(int messageRow) const;
    void paintLamp(TShape *lamp, LampColour colour);
    void enableWholeWindow(bool enabled);
    // The controls that would start other work while the live loop runs.
    void enableOtherWork(bool enabled);
    void setHourglass(bool on);
    void closeIfAskedAndIdle();
    int scaled(int pixels) const;

    SharedState &m_state;
    const MessageTable &m_messages;
    const StoredSettings &m_settings;
    Workflows &m_workflows;
    double m_scale = 1.0;
    Activity m_activity = Activity::Idle;
    bool m_hourglass = false;
    // The live I/O button's caption while no loop runs.
    QString m_idleCaption;
    int m_workDepth = 0;
    bool m_closeRequested = false;
    QPointer<QWidget> m_focusBeforeDisabling;
    // What the lamps say in words: the last outcome's colour (none before any), and the
    // inputs.
    std::optional<LampColour> m_lampOutcome;
    FourFlags m_inputsOn{};

    QLabel *pnMsg = nullptr;
    TShape *shComm = nullptr;
    QLabel *pnSerial = nullptr;
    QLabel *pnVersion = nullptr;
    QPushButton *btnScan = nullptr;
    QLabel *lblID = nullptr;
    QLabel *pnID = nullptr;
    QScrollBar *sbID = nullptr;
    QPushButton *btnID = nullptr;
    QLabel *lblBaudRate = nullptr;
    QComboBox *cmbBaudRate = nullptr;
    QCheckBox *chkLock = nullptr;
    QPushButton *btnBaudRate = nullptr;
    QComboBox *cmbMode = nullptr;
    QGroupBox *gbNONC = nullptr;
    std::array<QCheckBox *, 4> chkDI{};
    QPushButton *btnMode = nullptr;
    std::array<TShape *, 4> shDI{};
    std::array<QLabel *, 4> lblDI{};
    std::array<QCheckBox *, 4> chkDO{};
    QPushButton *btnProcess = nullptr;
    QPushButton *btnAll = nullptr;
    QGroupBox *gbDefault = nullptr;
    QTabWidget *pcDefault = nullptr;
    QWidget *tsDefault = nullptr;
    QToolButton *btnFactory = nullptr;
    QPushButton *btnEng = nullptr;
    QPushButton *btnGB = nullptr;
    QPushButton *btnBIG5 = nullptr;
    QPushButton *btnExit = nullptr;
    QLabel *pnVANTREL = nullptr;
    TTimer *tmrBusy = nullptr;
};
