#pragma once

#include "command_exchange.h"
#include "message_table.h"
#include "module_window.h"
#include "port_access.h"
#include "shared_state.h"
#include "stored_settings.h"
#include "workflow_context.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>

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
// handlers are the workflows. Controls carry their design names as object names.
class TfrmModule : public QWidget, public ModuleWindow
{
    Q_OBJECT

public:
    using Tone = std::function<void(int frequencyHz, int durationMs)>;

    TfrmModule(SharedState &state, const MessageTable &messages, const StoredSettings &settings,
               PortAccess &port, CommandExchange &exchange, Tone beep, QWidget *parent = nullptr);
    ~TfrmModule() override;

    void BeginOperation() override;
    void EndOperation(LampColour lamp, int messageRow, int frequencyHz) override;
    void SetBusy(quint8 on) override;
    void ReturnToIdle() override;

    QString text(int messageRow) const override;
    void showMessage(const QString &message) override;
    void showSerial(const QString &text) override;
    void showVersion(const QString &text) override;
    QString moduleId() const override;
    void showModuleId(const QString &id) override;
    void setIdPosition(int position) override;
    int baudRateIndex() const override;
    void selectBaudRate(int index) override;
    bool baudRateLocked() const override;
    int modeIndex() const override;
    void selectMode(int index) override;
    FourFlags polarity() const override;
    void setPolarity(const FourFlags &checked) override;
    FourFlags outputs() const override;
    void setOutputs(const FourFlags &on) override;
    void showInputs(const FourFlags &on) override;
    QString processCaption() const override;
    void setProcessCaption(const QString &caption) override;
    void enableOtherWork(bool enabled) override;
    void enableWindow() override;
    void setLamp(LampColour colour) override;
    void setHourglass(bool on) override;
    void processMessages() override;
    void beep(int frequencyHz, int durationMs) override;

    // True while a workflow, the operation frame, busy mode or the live loop runs; a
    // close from outside then waits for it.
    bool isWorking() const
    {
        return m_workDepth > 0 || m_operationOpen || m_busy || m_state.ProcessRunning;
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
    void switchLanguage(int languageIndex, const QString &languageFlag);
    void paintLamp(TShape *lamp, LampColour colour);
    void enableWholeWindow(bool enabled);
    // Runs a workflow on this window, the shared state and the link.
    void run(void (*workflow)(WorkflowContext &));
    void closeIfAskedAndIdle();
    int scaled(int pixels) const;

    SharedState &m_state;
    const MessageTable &m_messages;
    const StoredSettings &m_settings;
    PortAccess &m_port;
    CommandExchange &m_exchange;
    Tone m_beep;
    double m_scale = 1.0;
    bool m_hourglass = false;
    int m_workDepth = 0;
    bool m_operationOpen = false;
    bool m_busy = false;
    bool m_closeRequested = false;
    QPointer<QWidget> m_focusBeforeDisabling;

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
