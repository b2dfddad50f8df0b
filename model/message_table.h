#pragma once

#include <QList>
#include <QString>

#include <array>

// Rows of the message table, named after their English text.
namespace MessageRow {
enum : int
{
    Footer = 0,
    Caption = 1,
    StartScanModule = 2,
    CancelProcessModule = 3,
    Id = 4,
    BaudRate = 5,
    SetModuleBaudRateReset = 6,
    ProcessModule = 7,
    FactoryDefault = 8,
    QuickSetting = 9,
    Default = 10,
    Other = 11,
    Exit = 12,
    OpenCom = 13,
    Error = 14,
    ScanModule = 15,
    SerialNo = 16,
    Version = 17,
    ScanCom = 18,
    GetModuleInfoOk = 19,
    GetModuleInfoError = 20,
    ModuleNotFind = 21,
    SetModuleId = 22,
    SetModuleIdOk = 23,
    SetModuleIdError = 24,
    SetModuleBaudRate = 25,
    SetModuleBaudRateOk = 26,
    SetModuleBaudRateError = 27,
    SetModuleMode = 28,
    SetModuleModeOk = 29,
    SetModuleModeError = 30,
    SetFactoryDefault = 31,
    SetFactoryDefaultOk = 32,
    SetFactoryDefaultError = 33,
    SetNormalMode = 34,
    SetNormalModeOk = 35,
    SetNormalModeError = 36,
    NormalMode = 37,
    SetBaudrate115200 = 38,
    SetBaudrate115200Ok = 39,
    SetBaudrate115200Error = 40,
};
} // namespace MessageRow

// Every text the program shows the operator, in English (column 0), Simplified
// Chinese (1) and Traditional Chinese (2). Built once at start, read-only afterwards.
class MessageTable
{
public:
    static constexpr int RowCount = 41;
    static constexpr int LanguageCount = 3;

    MessageTable();

    // The row's text in that language; a language outside the table reads English,
    // a row outside the table reads empty.
    QString text(int row, int languageIndex) const;

private:
    QList<std::array<QString, LanguageCount>> m_rows;
};

// The maker's web address at the end of the footer.
inline const QString MakersWebAddress = QStringLiteral("www.vantrel.example");
