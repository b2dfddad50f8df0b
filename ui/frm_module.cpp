#include "frm_module.h"

#include "baud_rate_modes.h"
#include "live_io.h"
#include "module_identity.h"
#include "module_mode.h"
#include "module_scan.h"
#include "pictures.h"
#include "shape_widget.h"
#include "stored_place.h"
#include "window_fonts.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QToolButton>

#include <exception>

namespace {

const QColor ActiveCaptionColour(10, 36, 106);
const QColor FooterPurple(128, 0, 128);

// List items 20 pixels high, whatever the font.
class ItemHeightDelegate : public QStyledItemDelegate
{
public:
    ItemHeightDelegate(int height, QObject *parent) : QStyledItemDelegate(parent), m_height(height)
    {}
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        return {QStyledItemDelegate::sizeHint(option, index).width(), m_height};
    }

private:
    int m_height;
};

void setColours(QWidget *widget, const QColor &text, const QColor &background)
{
    QPalette palette = widget->palette();
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(role, text);
    for (const QPalette::ColorRole role : {QPalette::Window, QPalette::Base, QPalette::Button})
        palette.setColor(role, background);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

} // namespace

TfrmModule::TfrmModule(SharedState &state, const MessageTable &messages,
                       const StoredSettings &settings, Workflows &workflows, QWidget *parent)
    : QWidget(parent), m_state(state), m_messages(messages), m_settings(settings),
      m_workflows(workflows)
{
    setObjectName(QStringLiteral("frmModule"));
    // No maximise button and no close command: the Exit button closes the window.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint);
    m_scale = (screen() ? screen()->logicalDotsPerInchX() : 96.0) / 96.0;
    setFixedSize(scaled(560), scaled(425));
    setFont(WindowFont(scaled(16), true));
    // The English caption until the window is shown in its language.
    setWindowTitle(m_messages.text(MessageRow::Caption, 0));
    setWindowIcon(PictureIcon(Picture::WindowIcon));
    if (screen())
        move(screen()->availableGeometry().center() - rect().center());

    createControls();
    setTabOrder();
    connectHandlers();
    FormCreate();
}

TfrmModule::~TfrmModule()
{
    setHourglass(false);
}

int TfrmModule::scaled(int pixels) const
{
    return qRound(pixels * m_scale);
}

void TfrmModule::createControls()
{
    auto place = [this](QWidget *widget, const char *name, int left, int top, int width,
                        int height) {
        widget->setObjectName(QLatin1String(name));
        widget->setGeometry(scaled(left), scaled(top), scaled(width), scaled(height));
    };
    auto panel = [&](QWidget *parent, const char *name, QRect r, const QString &caption) {
        auto *label = new QLabel(caption, parent);
        place(label, name, r.x(), r.y(), r.width(), r.height());
        label->setAlignment(Qt::AlignCenter);
        label->setFrameStyle(QFrame::Panel | QFrame::Raised);
        label->setLineWidth(1);
        // The characters as they came, the module's among them: never markup.
        label->setTextFormat(Qt::PlainText);
        return label;
    };
    auto button = [&](QWidget *parent, const char *name, QRect r, const QString &caption,
                      Picture picture, QSize pictureSize) {
        auto *b = new QPushButton(caption, parent);
        place(b, name, r.x(), r.y(), r.width(), r.height());
        b->setIcon(PictureIcon(picture));
        b->setIconSize(pictureSize * m_scale);
        b->setAutoDefault(false);
        return b;
    };
    const QFont small = WindowFont(scaled(11), false);
    const QFont label = WindowFont(scaled(13), false);
    const QColor highlight = palette().color(QPalette::Highlight);

    pnMsg = panel(this, "pnMsg", {8, 4, 345, 40}, QStringLiteral("Start Scan Module"));
    pnMsg->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setColours(pnMsg, Qt::white, ActiveCaptionColour);
    shComm = new TShape(pnMsg);
    place(shComm, "shComm", 310, 8, 23, 20);
    shComm->setBrushColor(Qt::red);

    pnSerial = panel(this, "pnSerial", {8, 48, 169, 28}, QStringLiteral("S/N : ________"));
    pnVersion = panel(this, "pnVersion", {184, 48, 169, 28}, QStringLiteral("VER : __.__-__"));
    for (QLabel *p : {pnSerial, pnVersion})
        setColours(p, Qt::yellow, highlight);

    btnScan = button(this, "btnScan", {8, 78, 345, 33}, QStringLiteral("&Scan Module"),
                     Picture::Scan, {16, 16});

    lblID = new QLabel(QStringLiteral("ID :"), this);
    place(lblID, "lblID", 8, 125, 49, 22);
    pnID = panel(this, "pnID", {64, 122, 33, 25}, QStringLiteral("__"));
    setColours(pnID, Qt::yellow, highlight);
    sbID = new QScrollBar(Qt::Horizontal, this);
    place(sbID, "sbID", 104, 123, 249, 23);
    sbID->setRange(1, 99);
    sbID->setValue(1);
    sbID->setSingleStep(1);
    sbID->setPageStep(10);
    sbID->setFocusPolicy(Qt::StrongFocus);
    btnID = button(this, "btnID", {8, 150, 345, 33}, QStringLiteral("Set Module &ID"), Picture::Id,
                   {16, 16});

    lblBaudRate = new QLabel(QStringLiteral("Baud Rate :"), this);
    place(lblBaudRate, "lblBaudRate", 8, 197, 153, 22);
    for (QLabel *l : {lblID, lblBaudRate}) {
        l->setFont(label);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    cmbBaudRate = new QComboBox(this);
    place(cmbBaudRate, "cmbBaudRate", 168, 192, 161, 28);
    cmbBaudRate->addItems(BaudRateModes());
    // A screen reader names the scroll bar and the list by these labels.
    lblID->setBuddy(sbID);
    lblBaudRate->setBuddy(cmbBaudRate);
    chkLock = new QCheckBox(QStringLiteral("chkLock"), this);
    place(chkLock, "chkLock", 336, 196, 17, 17);
    chkLock->setChecked(true);
    btnBaudRate =
        button(this, "btnBaudRate", {8, 222, 345, 33},
               QStringLiteral("Set Module &Baud Rate (Reset)"), Picture::BaudRate, {16, 16});

    cmbMode = new QComboBox(this);
    place(cmbMode, "cmbMode", 8, 268, 137, 28);
    cmbMode->addItems({QStringLiteral("Hold(default)"), QStringLiteral("Normal")});
    for (QComboBox *c : {cmbBaudRate, cmbMode}) {
        setColours(c, Qt::yellow, highlight);
        c->setItemDelegate(new ItemHeightDelegate(scaled(20), c));
    }

    gbNONC = new QGroupBox(QStringLiteral("DI NO/NC"), this);
    place(gbNONC, "gbNONC", 152, 262, 201, 33);
    gbNONC->setFont(small);
    for (int i = 0; i < 4; ++i) {
        const QString name = QStringLiteral("DI%1").arg(i + 1);
        chkDI[i] = new QCheckBox(name, gbNONC);
        place(chkDI[i], qPrintable(QStringLiteral("chk") + name), 8 + 48 * i, 12, 41, 17);
        chkDI[i]->setFont(small);
    }
    btnMode = button(this, "btnMode", {8, 298, 345, 33}, QStringLiteral("Set Module &Mode"),
                     Picture::Mode, {16, 16});

    for (int i = 0; i < 4; ++i) {
        const QString n = QString::number(i + 1);
        shDI[i] = new TShape(this);
        place(shDI[i], qPrintable(QStringLiteral("shDI") + n), 2 + 40 * i, 344, 23, 15);
        lblDI[i] = new QLabel(QStringLiteral("DI") + n, this);
        place(lblDI[i], qPrintable(QStringLiteral("lblDI") + n), 24 + 40 * i, 346, 25, 17);
        lblDI[i]->setFont(small);
        chkDO[i] = new QCheckBox(QStringLiteral("DO") + n, this);
        place(chkDO[i], qPrintable(QStringLiteral("chkDO") + n), 168 + 48 * i, 344, 49, 17);
        chkDO[i]->setFont(small);
    }

    btnProcess = button(this, "btnProcess", {8, 368, 305, 33}, QStringLiteral("&Process DIDO"),
                        Picture::Process, {32, 20});
    btnAll = button(this, "btnAll", {320, 368, 33, 33}, QString(), Picture::All, {16, 16});

    gbDefault = new QGroupBox(QStringLiteral("Factory Setting"), this);
    place(gbDefault, "gbDefault", 360, 4, 193, 325);
    pcDefault = new QTabWidget(gbDefault);
    place(pcDefault, "pcDefault", 6, 26, 182, 294);
    pcDefault->setFont(WindowFont(scaled(16), false));
    pcDefault->setDocumentMode(true);
    tsDefault = new QWidget;
    tsDefault->setObjectName(QStringLiteral("tsDefault"));
    pcDefault->addTab(tsDefault, QStringLiteral("Default"));
    btnFactory = new QToolButton(tsDefault);
    place(btnFactory, "btnFactory", 4, 6, 165, 243);
    btnFactory->setText(QStringLiteral("(Factory &Default)"));
    btnFactory->setFont(WindowFont(scaled(16), true));
    btnFactory->setIcon(PictureIcon(Picture::Factory));
    btnFactory->setIconSize(QSize(100, 50) * m_scale);
    btnFactory->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);

    btnEng = new QPushButton(QStringLiteral("English"), this);
    place(btnEng, "btnEng", 359, 336, 62, 24);
    btnEng->setFont(label);
    setColours(btnEng, Qt::red, palette().color(QPalette::Button));
    btnEng->setAutoFillBackground(false);
    btnGB = button(this, "btnGB", {426, 336, 62, 24}, QString(), Picture::ChineseGB, {34, 16});
    btnBIG5 =
        button(this, "btnBIG5", {492, 336, 62, 24}, QString(), Picture::ChineseBIG5, {34, 16});
    for (QPushButton *b : {btnEng, btnGB, btnBIG5})
        b->setAutoDefault(false);
    btnGB->setFont(small);
    btnBIG5->setFont(small);

    btnExit = new QPushButton(QStringLiteral("&Exit"), this);
    place(btnExit, "btnExit", 360, 368, 193, 33);
    btnExit->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    btnExit->setAutoDefault(false);

    pnVANTREL = panel(this, "pnVANTREL", {0, 405, 561, 21},
                      QStringLiteral("VANTREL Technology Corp.   ") + MakersWebAddress);
    pnVANTREL->setFont(small);
    setColours(pnVANTREL, Qt::white, FooterPurple);

    tmrBusy = new TTimer(this);
    tmrBusy->setObjectName(QStringLiteral("tmrBusy"));
    tmrBusy->setInterval(200);
}

void TfrmModule::setTabOrder()
{
    const QList<QWidget *> order{btnScan,  sbID,       btnID,    cmbBaudRate, btnBaudRate, cmbMode,
                                 btnMode,  btnProcess, btnExit,  pcDefault,   btnFactory,  btnEng,
                                 btnGB,    btnBIG5,    chkDO[0], chkDO[1],    chkDO[3],    chkDO[2],
                                 chkDI[0], chkDI[1],   chkDI[2], chkDI[3],    chkLock,     btnAll};
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void TfrmModule::connectHandlers()
{
    const std::pair<QAbstractButton *, void (TfrmModule::*)()> clicks[] = {
        {btnScan, &TfrmModule::btnScanClick},
        {btnID, &TfrmModule::btnIDClick},
        {btnBaudRate, &TfrmModule::btnBaudRateClick},
        {btnMode, &TfrmModule::btnModeClick},
        {btnFactory, &TfrmModule::btnFactoryClick},
        {btnProcess, &TfrmModule::btnProcessClick},
        {btnAll, &TfrmModule::btnAllClick},
        {btnEng, &TfrmModule::btnEngClick},
        {btnGB, &TfrmModule::btnGBClick},
        {btnBIG5, &TfrmModule::btnBIG5Click},
    };
    for (const auto &[control, handler] : clicks)
        connect(control, &QAbstractButton::clicked, this, [this, h = handler] { handle(h); });
    // Not work of its own: a close from Exit is carried out at once.
    connect(btnExit, &QAbstractButton::clicked, this, &TfrmModule::btnExitClick);
    connect(sbID, &QScrollBar::valueChanged, this, &TfrmModule::sbIDChange);
    connect(tmrBusy, &QTimer::timeout, this, &TfrmModule::tmrBusyTimer);
}

void TfrmModule::handle(void (TfrmModule::*handler)())
{
    WorkScope work(*this);
    try {
        (this->*handler)();
    } catch (const std::exception &e) {
        QMessageBox::critical(this, QApplication::applicationName(),
                              QString::fromLocal8Bit(e.what()));
    }
}

void TfrmModule::FormCreate()
{
    m_settings.LoadSettings(m_state);
    m_state.ProcessRunning = false;
    m_state.ModuleFound = false;
    cmbBaudRate->setCurrentIndex(ListIndexOfRememberedSetting(m_state));
    cmbMode->setCurrentIndex(0);
}

void TfrmModule::sbIDChange()
{
    pnID->setText(QString::asprintf("%02d", sbID->value()));
}

void TfrmModule::btnExitClick()
{
    close();
}

void TfrmModule::btnScanClick()
{
    m_workflows.run(ScanModule, *this, *this);
}

void TfrmModule::btnIDClick()
{
    m_workflows.run(SetModuleId, *this, *this);
}

void TfrmModule::btnBaudRateClick()
{
    m_workflows.run(SetModuleBaudRate, *this, *this);
}

void TfrmModule::btnModeClick()
{
    m_workflows.run(SetModuleMode, *this, *this);
}

void TfrmModule::btnFactoryClick()
{
    m_workflows.run(SetFactoryDefault, *this, *this);
}

void TfrmModule::btnProcessClick()
{
    m_workflows.run(ProcessModule, *this, *this);
}

void TfrmModule::btnAllClick()
{
    m_workflows.allOutputs(*this, *this);
}

void TfrmModule::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Restoring a minimised window is a show as well; only a real one relabels.
    if (!event->spontaneous())
        FormShow();
}

void TfrmModule::keyPressEvent(QKeyEvent *event)
{
    // Enter starts a scan unless a button has the focus, which then takes it itself.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        QWidget *focused = focusWidget();
        if (qobject_cast<QPushButton *>(focused) || qobject_cast<QToolButton *>(focused))
            static_cast<QAbstractButton *>(focused)->click();
        else
            btnScan->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TfrmModule::closeEvent(QCloseEvent *event)
{
    if (!isWorking()) {
        event->accept();
        return;
    }
    // A close from outside while work is in hand: the live loop is asked to end, a scan
    // to stop at its next exchange, a setting operation to finish (it is short and
    // must not leave the module half set); the window closes once the port is closed.
    m_closeRequested = true;
    m_state.ProcessRunning = false;
    m_workflows.stopLiveLoop();
    m_state.StopRequested = true;
    event->ignore();
}

TfrmModule::WorkScope::WorkScope(TfrmModule &window) : m_window(window)
{
    ++m_window.m_workDepth;
}

TfrmModule::WorkScope::~WorkScope()
{
    --m_window.m_workDepth;
    m_window.closeIfAskedAndIdle();
}

void TfrmModule::closeIfAskedAndIdle()
{
    if (m_closeRequested && !isWorking()) {
        m_closeRequested = false;
        m_state.StopRequested = false;
        // After the handler has returned, so that nothing of it outlives the window.
        QTimer::singleShot(0, this, &QWidget::close);
    }
}
