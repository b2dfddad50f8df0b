// The stored settings in their file: what a load gives, the exact bytes a save leaves,
// and how both deal with missing, foreign, damaged, linked and protected files, with
// files exported by Windows and with a save cut short at any moment.
//
// The test executable doubles as the child process of two tests: run with
// ChildInterruptedSave it saves and kills itself at a given step of the save; run with
// ChildOtherUser (under another user id) it loads or saves and prints what it got.

#include "registry_file.h"
#include "stored_settings.h"
#include "write_faults.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <memory>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

const QString ChildInterruptedSave = QStringLiteral("--child-interrupted-save");
const QString ChildOtherUser = QStringLiteral("--child-other-user");

// The user the permission test runs as when the tests run as root: nobody.
constexpr uid_t OtherUser = 65534;

const QByteArray Head = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\VANTREL\\Morvale]\n";
// As the registry editor of Windows writes the key, in the path a 32-bit program has
// on 64-bit Windows.
const QByteArray Head5 = "Windows Registry Editor Version 5.00\n\n"
                         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\VANTREL\\Morvale]\n";
// What a save of the scan at COM3, 9600,n,8,1 (index 2) writes into the key.
const QByteArray ScanValues = "\"ScanCommNo\"=dword:00000003\n\"ScanBaudRateNo\"=dword:00000002\n"
                              "\"ScanBaudRate\"=\"9600,n,8,1\"\n";
// Stands for a file that does not exist, where file contents are expected.
const QByteArray NoFile = "(no file)";

QByteArray key(const QByteArray &values)
{
    return Head + values;
}

// A literal with the zero bytes in it.
template <std::size_t N> QByteArray bytes(const char (&literal)[N])
{
    return QByteArray(literal, N - 1);
}

// The text with CR LF line ends.
QByteArray withCrLf(QByteArray text)
{
    return text.replace("\n", "\r\n");
}

// The UTF-8 text in UTF-16LE with its byte order mark, as Windows exports a key.
QByteArray utf16(const QByteArray &utf8)
{
    const QString text = QString::fromUtf8(utf8);
    QByteArray stored("\xFF\xFE");
    for (const QChar c : text) {
        stored += char(c.unicode() & 0xFF);
        stored += char(c.unicode() >> 8);
    }
    return stored;
}

// A REGEDIT4 file padded with comment lines to exactly `size` bytes.
QByteArray paddedTo(QByteArray bytes, qsizetype size)
{
    while (bytes.size() < size) {
        const qsizetype room = size - bytes.size();
        bytes += room >= 3 ? ';' + QByteArray(qMin<qsizetype>(room - 2, 70), '-') + '\n'
                           : QByteArray(room, '\n');
    }
    return bytes;
}

QString describe(qint32 commNo, const QString &rate, qint32 rateNo, const QString &flag, int index)
{
    return QStringLiteral("ScanCommNo=") + QString::number(commNo) +
           QStringLiteral(" ScanBaudRate=\"") + rate + QStringLiteral("\" ScanBaudRateNo=") +
           QString::number(rateNo) + QStringLiteral(" LanguageFlag=\"") + flag +
           QStringLiteral("\" LanguageIndex=") + QString::number(index);
}

QString describe(const SharedState &state)
{
    return describe(state.ScanCommNo, state.ScanBaudRate, state.ScanBaudRateNo, state.LanguageFlag,
                    state.LanguageIndex);
}

const QString Defaults =
    describe(0, QStringLiteral("19200,e,8,1"), 5, QStringLiteral("English"), 0);

// Loads into a state that holds none of the defaults, so every default must come from
// the load itself.
QString loaded(const QString &filePath)
{
    SharedState state;
    state.ScanCommNo = -77;
    state.ScanBaudRate = QStringLiteral("stale");
    state.ScanBaudRateNo = -77;
    state.LanguageFlag = QStringLiteral("stale");
    state.LanguageIndex = -1;
    StoredSettings(filePath).LoadSettings(state);
    return describe(state);
}

SharedState scanState(qint32 commNo, const QString &rate, qint32 rateNo)
{
    SharedState state;
    state.ScanCommNo = commNo;
    state.ScanBaudRate = rate;
    state.ScanBaudRateNo = rateNo;
    state.LanguageFlag = QStringLiteral("must not be written");
    return state;
}

SharedState languageState(const QString &flag)
{
    SharedState state = scanState(99, QStringLiteral("must not be written"), 99);
    state.LanguageFlag = flag;
    return state;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    if (bytes == NoFile)
        return true;
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).absolutePath()) && file.open(QIODevice::WriteOnly) &&
           file.write(bytes) == bytes.size();
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile())
        return NoFile;
    if (!file.open(QIODevice::ReadOnly))
        return "(unreadable)";
    return file.readAll();
}

QStringList folderEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                                  QDir::Name);
}

const char *stepName(RegistryWriteStep step)
{
    switch (step) {
    case RegistryWriteStep::SetAside:
        return "SetAside";
    case RegistryWriteStep::TempOpened:
        return "TempOpened";
    case RegistryWriteStep::Synced:
        return "Synced";
    case RegistryWriteStep::Committed:
        return "Committed";
    }
    return "?";
}

// What an interrupted save writes.
const SharedState InterruptedState = [] {
    SharedState state = scanState(7, QStringLiteral("115200,e,8,1"), 11);
    state.LanguageFlag = QStringLiteral("ChineseBIG5");
    return state;
}();

// Arguments: "scan" or "language", the file, the step (from 1) at which to die. Prints
// each step as it is reached.
int runInterruptedSave(const QStringList &arguments)
{
    const QString save = arguments.value(2);
    const int stopAt = arguments.value(4).toInt();
    int step = 0;
    const StoredSettings settings(arguments.value(3), [&](RegistryWriteStep reached) {
        std::printf("%s\n", stepName(reached));
        std::fflush(stdout);
        if (++step == stopAt)
            ::raise(SIGKILL);
    });
    if (save == QLatin1String("scan"))
        settings.SaveScanSettings(InterruptedState);
    else
        settings.SaveLanguageFlag(InterruptedState);
    return 0;
}

// Arguments: "load" or "save", the file. Prints what this user may do with the file and
// its folder, then the loaded values or "saved".
int runAsOtherUser(const QStringList &arguments)
{
    const QString filePath = arguments.value(3);
    const QByteArray file = QFile::encodeName(filePath);
    const QByteArray folder = QFile::encodeName(QFileInfo(filePath).absolutePath());
    std::printf("folderWritable=%d fileReadable=%d fileWritable=%d\n",
                ::access(folder.constData(), W_OK) == 0, ::access(file.constData(), R_OK) == 0,
                ::access(file.constData(), W_OK) == 0);
    const StoredSettings settings(filePath);
    if (arguments.value(2) == QLatin1String("load")) {
        std::printf("%s\n", qPrintable(loaded(filePath)));
    } else {
        settings.SaveScanSettings(InterruptedState);
        settings.SaveLanguageFlag(InterruptedState);
        std::printf("saved\n");
    }
    return 0;
}

} // namespace

class StoredSettingsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void loadWithoutFile_data();
    void loadWithoutFile();
    void load_data();
    void load();
    void loadOfUnreadableFile_data();
    void loadOfUnreadableFile();
    void saveScanSettings_data();
    void saveScanSettings();
    void saveLanguageFlag_data();
    void saveLanguageFlag();
    void saveOverUnreadableFile_data();
    void saveOverUnreadableFile();
    void saveThatCannotBeDone_data();
    void saveThatCannotBeDone();
    void saveThatWouldOutgrowTheFile();
    void fullDiskDuringASave_data();
    void fullDiskDuringASave();
    void settingNotInTheList_data();
    void settingNotInTheList();
    void rootWorksAsTheFolderOwner();
    void settingsFileIsALink_data();
    void settingsFileIsALink();
    void ownerAndModeKept_data();
    void ownerAndModeKept();
    void firstSaveIsTheUsersOwn();
    void roundTrip_data();
    void roundTrip();
    void interruptedSave_data();
    void interruptedSave();
    void fileThisUserMayNotWrite_data();
    void fileThisUserMayNotWrite();
    void defaultFilePath_data();
    void defaultFilePath();

private:
    QString folder() const { return m_dir->path() + QStringLiteral("/config/VANTREL"); }
    QString filePath() const { return folder() + QStringLiteral("/Morvale.reg"); }
    // As root, a null device of the test's own: a fault that wrote through a link to
    // the system's /dev/null could replace it for the whole machine.
    QString nullDevice() const
    {
        if (::geteuid() != 0)
            return QStringLiteral("/dev/null");
        const QString node = m_dir->path() + QStringLiteral("/null");
        if (!QFileInfo::exists(node))
            ::mknod(QFile::encodeName(node).constData(), S_IFCHR | 0666, ::makedev(1, 3));
        return node;
    }

    QTemporaryDir m_home;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void StoredSettingsTest::initTestCase()
{
    // Nothing here may reach the user's own configuration, even by a default path.
    QVERIFY(m_home.isValid());
    qputenv("HOME", QFile::encodeName(m_home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.path() + QStringLiteral("/config")));
}

void StoredSettingsTest::init()
{
    // Nothing warns but a save that could not be done, which says why; each test of one
    // checks the reason the save returns.
    QTest::failOnWarning(QRegularExpression(QStringLiteral("^(?!cannot save the settings in )")));
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void StoredSettingsTest::loadWithoutFile_data()
{
    QTest::addColumn<bool>("folderExists");
    QTest::newRow("no folder") << false;
    QTest::newRow("folder without file") << true;
}

void StoredSettingsTest::loadWithoutFile()
{
    QFETCH(bool, folderExists);
    if (folderExists)
        QVERIFY(QDir().mkpath(folder()));
    QCOMPARE(loaded(filePath()), Defaults);
    QCOMPARE(QFileInfo::exists(folder()), folderExists);
    QCOMPARE(contents(filePath()), NoFile);
}

void StoredSettingsTest::load_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("expected");

    const QByteArray all = R"("ScanCommNo"=dword:00000003
"ScanBaudRate"="9600,n,8,1"
"ScanBaudRateNo"=dword:00000002
"LanguageFlag"="ChineseGB"
)";
    const QString allRead = describe(3, "9600,n,8,1", 2, "ChineseGB", 1);
    QTest::newRow("all four values") << key(all) << allRead;
    QTest::newRow("key without values") << Head << Defaults;
    QTest::newRow("header line only") << QByteArray("REGEDIT4\n") << Defaults;
    QTest::newRow("only another key")
        << "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\VANTREL\\Other]\n" + all << Defaults;
    QTest::newRow("the key's name without its closing bracket names no key")
        << "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\VANTREL\\Morvale\n" + all << Defaults;
    QTest::newRow("values of a subkey are not the key's")
        << key("\"LanguageFlag\"=\"ChineseBIG5\"\n\n"
               "[HKEY_LOCAL_MACHINE\\Software\\VANTREL\\Morvale\\Sub]\n"
               "\"ScanCommNo\"=dword:00000003\n")
        << describe(0, "19200,e,8,1", 5, "ChineseBIG5", 2);
    QTest::newRow("key section given twice")
        << key("\"ScanCommNo\"=dword:00000003\n\n[HKEY_CURRENT_USER\\Software]\n"
               "\"ScanBaudRateNo\"=dword:00000009\n\n"
               "[HKEY_LOCAL_MACHINE\\Software\\VANTREL\\Morvale]\n"
               "\"LanguageFlag\"=\"ChineseBIG5\"\n")
        << describe(3, "19200,e,8,1", 5, "ChineseBIG5", 2);

    // The language: only the exact names choose a Chinese column.
    const auto language = [](const char *flag) {
        return key(QByteArray("\"LanguageFlag\"=\"") + flag + "\"\n");
    };
    QTest::newRow("ChineseGB") << language("ChineseGB")
                               << describe(0, "19200,e,8,1", 5, "ChineseGB", 1);
    QTest::newRow("ChineseBIG5") << language("ChineseBIG5")
                                 << describe(0, "19200,e,8,1", 5, "ChineseBIG5", 2);
    QTest::newRow("English") << language("English") << Defaults;
    QTest::newRow("chinesegb in lower case")
        << language("chinesegb") << describe(0, "19200,e,8,1", 5, "chinesegb", 0);
    QTest::newRow("CHINESEBIG5 in upper case")
        << language("CHINESEBIG5") << describe(0, "19200,e,8,1", 5, "CHINESEBIG5", 0);
    QTest::newRow("ChineseGB with a trailing blank")
        << language("ChineseGB ") << describe(0, "19200,e,8,1", 5, "ChineseGB ", 0);
    QTest::newRow("empty language") << language("") << describe(0, "19200,e,8,1", 5, "", 0);
    QTest::newRow("unknown language")
        << language("French") << describe(0, "19200,e,8,1", 5, "French", 0);
    QTest::newRow("language in UTF-8")
        << language("中文") << describe(0, "19200,e,8,1", 5, "中文", 0);

    // Types: integers only from a DWORD, texts from REG_SZ or REG_EXPAND_SZ.
    QTest::newRow("ScanCommNo stored as text stops the load")
        << key("\"ScanCommNo\"=\"3\"\n\"ScanBaudRate\"=\"9600,n,8,1\"\n"
               "\"ScanBaudRateNo\"=dword:00000002\n\"LanguageFlag\"=\"ChineseGB\"\n")
        << Defaults;
    QTest::newRow("ScanBaudRateNo stored as text stops the load")
        << key("\"ScanCommNo\"=dword:00000003\n\"ScanBaudRate\"=\"9600,n,8,1\"\n"
               "\"ScanBaudRateNo\"=\"2\"\n\"LanguageFlag\"=\"ChineseGB\"\n")
        << describe(3, "9600,n,8,1", 5, "English", 0);
    QTest::newRow("text as REG_EXPAND_SZ is not expanded")
        << key("\"LanguageFlag\"=hex(2):25,48,4f,4d,45,25,2c,6e,00\n")
        << describe(0, "19200,e,8,1", 5, "%HOME%,n", 0);
    QTest::newRow("text as REG_SZ in hex") << key("\"LanguageFlag\"=hex(1):39,36,30,30,00\n")
                                           << describe(0, "19200,e,8,1", 5, "9600", 0);
    QTest::newRow("ScanBaudRate as binary stops the load")
        << key("\"ScanCommNo\"=dword:00000003\n\"ScanBaudRate\"=hex:39,36,30,30,00\n"
               "\"ScanBaudRateNo\"=dword:00000002\n")
        << describe(3, "19200,e,8,1", 5, "English", 0);
    QTest::newRow("ScanBaudRate as DWORD stops the load")
        << key("\"ScanCommNo\"=dword:00000003\n\"ScanBaudRate\"=dword:00002580\n"
               "\"LanguageFlag\"=\"ChineseGB\"\n")
        << describe(3, "19200,e,8,1", 5, "English", 0);
    QTest::newRow("LanguageFlag as DWORD stops the load")
        << key(all.left(all.indexOf("\"LanguageFlag\"")) + "\"LanguageFlag\"=dword:00000001\n")
        << describe(3, "9600,n,8,1", 2, "English", 0);
    QTest::newRow("DWORD written in hex, four bytes")
        << key("\"ScanCommNo\"=hex(4):0c,00,00,00\n")
        << describe(12, "19200,e,8,1", 5, "English", 0);
    QTest::newRow("DWORD written in hex, two bytes, stops the load")
        << key("\"ScanCommNo\"=hex(4):0c,00\n\"LanguageFlag\"=\"ChineseGB\"\n") << Defaults;
    QTest::newRow("dword ffffffff is -1")
        << key("\"ScanCommNo\"=dword:ffffffff\n") << describe(-1, "19200,e,8,1", 5, "English", 0);
    QTest::newRow("dword with few digits, upper case")
        << key("\"ScanCommNo\"=DWORD:C\n") << describe(12, "19200,e,8,1", 5, "English", 0);
    QTest::newRow("empty REG_EXPAND_SZ")
        << key("\"LanguageFlag\"=hex(2):\n") << describe(0, "19200,e,8,1", 5, "", 0);
    QTest::newRow("one value missing")
        << key("\"ScanCommNo\"=dword:00000003\n\"ScanBaudRateNo\"=dword:00000002\n"
               "\"LanguageFlag\"=\"ChineseGB\"\n")
        << describe(3, "19200,e,8,1", 2, "ChineseGB", 1);
    QTest::newRow("value removed by a later line")
        << key(all + "\"ScanCommNo\"=-\n") << describe(0, "9600,n,8,1", 2, "ChineseGB", 1);
    QTest::newRow("names and key path in another case")
        << QByteArray("REGEDIT4\n\n[hkey_local_machine\\SOFTWARE\\vantrel\\MORVALE]\n"
                      "\"scancommno\"=dword:00000003\n\"SCANBAUDRATE\"=\"9600,n,8,1\"\n"
                      "\"ScanBaudRateno\"=dword:00000002\n\"languageFLAG\"=\"ChineseGB\"\n")
        << allRead;

    // The last of two lines for one value counts, as on an import.
    QTest::newRow("value given twice")
        << key("\"ScanCommNo\"=dword:00000001\n" + all.mid(28) + "\"ScanCommNo\"=dword:00000004\n")
        << describe(4, "9600,n,8,1", 2, "ChineseGB", 1);
    QTest::newRow("value given twice, the last as text")
        << key(all + "\"ScanCommNo\"=\"4\"\n") << Defaults;

    // A text ends at its first zero byte.
    QTest::newRow("zero byte inside quotes") << key(bytes("\"LanguageFlag\"=\"9600\0,n\"\n"))
                                             << describe(0, "19200,e,8,1", 5, "9600", 0);
    QTest::newRow("zero byte inside REG_EXPAND_SZ")
        << key("\"LanguageFlag\"=hex(2):39,36,00,30,30,00\n")
        << describe(0, "19200,e,8,1", 5, "96", 0);

    // Data that cannot be read stops the load at that value.
    const QByteArray firstTwo = "\"ScanCommNo\"=dword:00000003\n\"ScanBaudRate\"=\"9600,n,8,1\"\n";
    const QString firstTwoRead = describe(3, "9600,n,8,1", 5, "English", 0);
    const QByteArray flag = "\"LanguageFlag\"=\"ChineseGB\"\n";
    QTest::newRow("bad dword digit")
        << key(firstTwo + "\"ScanBaudRateNo\"=dword:0000000g\n" + flag) << firstTwoRead;
    QTest::newRow("dword beyond 32 bits")
        << key(firstTwo + "\"ScanBaudRateNo\"=dword:100000000\n" + flag) << firstTwoRead;
    QTest::newRow("dword without digits")
        << key(firstTwo + "\"ScanBaudRateNo\"=dword:\n" + flag) << firstTwoRead;
    QTest::newRow("dword with a sign")
        << key(firstTwo + "\"ScanBaudRateNo\"=dword:-1\n" + flag) << firstTwoRead;
    QTest::newRow("bad hex byte") << key(firstTwo + "\"ScanBaudRateNo\"=hex(4):02,0g,00,00\n" +
                                         flag)
                                  << firstTwoRead;
    QTest::newRow("hex byte of three digits")
        << key(firstTwo + "\"ScanBaudRateNo\"=hex(4):002,00,00,00\n" + flag) << firstTwoRead;
    QTest::newRow("unknown data kind")
        << key(firstTwo + "\"ScanBaudRateNo\"=qword:2\n" + flag) << firstTwoRead;
    const QByteArray commNo = "\"ScanCommNo\"=dword:00000003\n";
    const QString commNoRead = describe(3, "19200,e,8,1", 5, "English", 0);
    QTest::newRow("bad escape") << key(commNo + R"("ScanBaudRate"="96\00")" + "\n" + flag)
                                << commNoRead;
    QTest::newRow("unterminated quote")
        << key(commNo + "\"ScanBaudRate\"=\"9600,n,8,1\n" + flag) << commNoRead;
    QTest::newRow("text after the closing quote")
        << key(commNo + "\"ScanBaudRate\"=\"9600\"x\n" + flag) << commNoRead;
    QTest::newRow("escaped quote and backslash")
        << key(commNo + R"("LanguageFlag"="a\"b\\c")" + "\n")
        << describe(3, "19200,e,8,1", 5, "a\"b\\c", 0);

    // The form of the file.
    QTest::newRow("lines that name no value are skipped")
        << key("ScanCommNo=dword:00000009\n@=\"default\"\n\"ScanCommNo\n\"ScanCommNo\" dword:9\n"
               "garbage \x01\x02\n" +
               all)
        << allRead;
    QTest::newRow("comments and blank lines")
        << key("; where the module was found\n\n" + all.left(28) + "  ; kept\n\n" + all.mid(28))
        << allRead;
    QByteArray crlf = key(all);
    crlf.replace("\n", "\r\n");
    QTest::newRow("CRLF line ends") << crlf << allRead;
    QTest::newRow("UTF-8 byte order mark") << "\xEF\xBB\xBF" + key(all) << allRead;
    QTest::newRow("last line without line end") << key(all.chopped(1)) << allRead;
    QTest::newRow("hex data continued over lines")
        << key("\"ScanBaudRate\"=hex(2):31,31,35,32,30,30,2c,\\\n  65,2c,38,2c,\\\r\n  31,00\n" +
               flag)
        << describe(0, "115200,e,8,1", 5, "ChineseGB", 1);
    QTest::newRow("file of exactly 64 KiB") << paddedTo(key(all), 64 * 1024) << allRead;

    // Exports of the registry editor of Windows, whose texts in hex are UTF-16LE.
    QTest::newRow("header of a Unicode export")
        << "Windows Registry Editor Version 5.00\n\n"
           "[HKEY_LOCAL_MACHINE\\Software\\VANTREL\\Morvale]\n" +
               commNo + flag
        << describe(3, "19200,e,8,1", 5, "ChineseGB", 1);
    QTest::newRow("Unicode export in UTF-8 with byte order mark, 32-bit key path")
        << "\xEF\xBB\xBF" + Head5 + all << allRead;
    QTest::newRow("Windows export in UTF-16LE") << utf16(withCrLf(Head5 + all + "\n")) << allRead;
    QTest::newRow("texts in hex of a Windows export")
        << utf16(withCrLf(Head5 +
                          "\"ScanBaudRate\"=hex(2):31,00,31,00,35,00,32,00,30,00,30,00,2c,00,"
                          "65,00,2c,00,38,00,\\\n  2c,00,31,00,00,00\n"
                          "\"LanguageFlag\"=hex(1):2d,4e,87,65,00,00\n"))
        << describe(0, "115200,e,8,1", 5, "中文", 0);
    QTest::newRow("text in hex of a Unicode export that is no UTF-16 stops the load")
        << Head5 + commNo + "\"ScanBaudRate\"=hex(1):39,00,36\n" + flag << commNoRead;
}

void StoredSettingsTest::load()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, expected);
    QVERIFY(writeFile(filePath(), file));
    QCOMPARE(loaded(filePath()), expected);
    QCOMPARE(contents(filePath()), file);
    QCOMPARE(folderEntries(folder()), QStringList{"Morvale.reg"});
}

void StoredSettingsTest::loadOfUnreadableFile_data()
{
    QTest::addColumn<QByteArray>("file");
    const QByteArray values = "\"ScanCommNo\"=dword:00000003\n\"LanguageFlag\"=\"ChineseGB\"\n";
    QTest::newRow("binary garbage") << bytes("\x7f\x45LF\x02\x01\x01\0\0\xff\xfe\n\x00\x01");
    QTest::newRow("empty file") << QByteArray("");
    QTest::newRow("one byte over 64 KiB") << paddedTo(key(values), 64 * 1024 + 1);
    // UTF-16 that would not be written back as it was.
    const QByteArray export5 = utf16(withCrLf(Head5 + values));
    QTest::newRow("UTF-16 of an odd length") << export5 + '\n';
    QTest::newRow("UTF-16 with an unpaired surrogate") << export5 + bytes("\x00\xD8\n\x00");
    QTest::newRow("UTF-16 without byte order mark") << export5.mid(2);
    QTest::newRow("UTF-16 over 64 KiB as stored, less as text")
        << utf16(paddedTo(Head5 + values, 32 * 1024));
    QTest::newRow("header in lower case") << "regedit4" + key(values).mid(8);
    QTest::newRow("header after a comment") << "; settings\n" + key(values);
    QTest::newRow("text after the header") << "REGEDIT4 x" + key(values).mid(8);
}

void StoredSettingsTest::loadOfUnreadableFile()
{
    QFETCH(QByteArray, file);
    QVERIFY(writeFile(filePath(), file));
    QCOMPARE(loaded(filePath()), Defaults);
    QCOMPARE(contents(filePath()), file);
}

void StoredSettingsTest::saveScanSettings_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<qint32>("commNo");
    QTest::addColumn<QString>("rate");
    QTest::addColumn<qint32>("rateNo");
    QTest::addColumn<QByteArray>("after");

    const QByteArray &written = ScanValues;
    QTest::newRow("no file: folder, file and key created")
        << NoFile << 3 << "9600,n,8,1" << 2 << key(written);
    QTest::newRow("header without line end")
        << QByteArray("REGEDIT4") << 3 << "9600,n,8,1" << 2 << key(written);
    QTest::newRow("other key kept, ours added after a blank line")
        << QByteArray("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Other]\n\"X\"=\"y\"\n") << 3
        << "9600,n,8,1" << 2
        << "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Other]\n\"X\"=\"y\"\n\n"
           "[HKEY_LOCAL_MACHINE\\Software\\VANTREL\\Morvale]\n" +
               written;
    QTest::newRow("values replaced in place, everything else kept")
        << key("; from the last scan\n\"ScanBaudRate\"=\"4800,n,8,1\"\n\"Extra\"=dword:00000001\n"
               "junk line\n\"ScanCommNo\"=dword:00000010\n\"LanguageFlag\"=\"ChineseGB\"\n\n"
               "[HKEY_LOCAL_MACHINE\\Software\\VANTREL\\Other]\n\"ScanCommNo\"=dword:00000009\n")
        << 3 << "9600,n,8,1" << 2
        << key("; from the last scan\n\"ScanBaudRate\"=\"9600,n,8,1\"\n\"Extra\"=dword:00000001\n"
               "junk line\n\"ScanCommNo\"=dword:00000003\n\"LanguageFlag\"=\"ChineseGB\"\n"
               "\"ScanBaudRateNo\"=dword:00000002\n\n"
               "[HKEY_LOCAL_MACHINE\\Software\\VANTREL\\Other]\n\"ScanCommNo\"=dword:00000009\n");
    QTest::newRow("value given twice: written once, in place of the first")
        << key("\"ScanCommNo\"=dword:00000001\n\"LanguageFlag\"=\"English\"\n"
               "\"ScanCommNo\"=\"2\"\n\"scancommno\"=dword:00000004\n")
        << 3 << "9600,n,8,1" << 2
        << key("\"ScanCommNo\"=dword:00000003\n\"LanguageFlag\"=\"English\"\n"
               "\"ScanBaudRateNo\"=dword:00000002\n\"ScanBaudRate\"=\"9600,n,8,1\"\n");
    QTest::newRow("names in another case and unreadable data replaced")
        << key("\"SCANCOMMNO\"=dword:zz\n\"scanbaudrate\"=\"unterminated\n") << 3 << "9600,n,8,1"
        << 2
        << key("\"ScanCommNo\"=dword:00000003\n\"ScanBaudRate\"=\"9600,n,8,1\"\n"
               "\"ScanBaudRateNo\"=dword:00000002\n");
    QTest::newRow("values in a second section of the key")
        << key("\"LanguageFlag\"=\"English\"\n\n[HKEY_CURRENT_USER\\X]\n\n"
               "[HKEY_LOCAL_MACHINE\\Software\\VANTREL\\Morvale]\n\"ScanBaudRate\"=\"x\"\n")
        << 3 << "9600,n,8,1" << 2
        << key("\"LanguageFlag\"=\"English\"\n\"ScanCommNo\"=dword:00000003\n"
               "\"ScanBaudRateNo\"=dword:00000002\n\n[HKEY_CURRENT_USER\\X]\n\n"
               "[HKEY_LOCAL_MACHINE\\Software\\VANTREL\\Morvale]\n\"ScanBaudRate\"=\"9600,n,8,"
               "1\"\n");
    QByteArray crlfBefore = key("\"LanguageFlag\"=\"English\"\n");
    crlfBefore.replace("\n", "\r\n");
    QByteArray crlfAfter = key("\"LanguageFlag\"=\"English\"\n" + written);
    crlfAfter.replace("\n", "\r\n");
    QTest::newRow("CRLF line ends kept") << crlfBefore << 3 << "9600,n,8,1" << 2 << crlfAfter;
    QTest::newRow("byte order mark kept")
        << "\xEF\xBB\xBF" + Head << 3 << "9600,n,8,1" << 2 << "\xEF\xBB\xBF" + key(written);
    QTest::newRow("last line without line end")
        << key("\"LanguageFlag\"=\"English\"") << 3 << "9600,n,8,1" << 2
        << key("\"LanguageFlag\"=\"English\"\n" + written);
    QTest::newRow("hex value over several lines replaced")
        << key("\"ScanBaudRate\"=hex(2):31,\\\n  32,00\n; after\n") << 3 << "9600,n,8,1" << 2
        << key("\"ScanBaudRate\"=\"9600,n,8,1\"\n; after\n\"ScanCommNo\"=dword:00000003\n"
               "\"ScanBaudRateNo\"=dword:00000002\n");
    QTest::newRow("negative and largest integers")
        << NoFile << -1 << "9600,n,8,1" << INT_MAX
        << key("\"ScanCommNo\"=dword:ffffffff\n\"ScanBaudRateNo\"=dword:7fffffff\n"
               "\"ScanBaudRate\"=\"9600,n,8,1\"\n");
    QTest::newRow("quote and backslash escaped")
        << NoFile << 3 << "a\"b\\c" << 2
        << key("\"ScanCommNo\"=dword:00000003\n\"ScanBaudRateNo\"=dword:00000002\n"
               R"("ScanBaudRate"="a\"b\\c")"
               "\n");
    QTest::newRow("line break written in hex")
        << NoFile << 3 << "a\nb" << 2
        << key("\"ScanCommNo\"=dword:00000003\n\"ScanBaudRateNo\"=dword:00000002\n"
               "\"ScanBaudRate\"=hex(1):61,0a,62,00\n");
    QTest::newRow("empty text")
        << NoFile << 0 << "" << 0
        << key("\"ScanCommNo\"=dword:00000000\n"
               "\"ScanBaudRateNo\"=dword:00000000\n\"ScanBaudRate\"=\"\"\n");
    QTest::newRow("UTF-8 text") << NoFile << 1 << "é,ü" << 1
                                << key("\"ScanCommNo\"=dword:00000001\n"
                                       "\"ScanBaudRateNo\"=dword:00000001\n"
                                       "\"ScanBaudRate\"=\"\xC3\xA9,\xC3\xBC\"\n");

    // An export of Windows stays one, and its texts in hex are UTF-16LE.
    QTest::newRow("Windows export: encoding, line ends and key path kept")
        << utf16(
               withCrLf(Head5 + "\"ScanCommNo\"=dword:00000001\n\"LanguageFlag\"=\"English\"\n\n"))
        << 3 << "9600,n,8,1" << 2
        << utf16(withCrLf(
               Head5 + "\"ScanCommNo\"=dword:00000003\n\"LanguageFlag\"=\"English\"\n"
                       "\"ScanBaudRateNo\"=dword:00000002\n\"ScanBaudRate\"=\"9600,n,8,1\"\n\n"));
    QTest::newRow("line break in a Unicode export written in UTF-16LE hex")
        << "\xEF\xBB\xBF" + Head5 << 3 << "é\nb" << 2
        << "\xEF\xBB\xBF" + Head5 +
               "\"ScanCommNo\"=dword:00000003\n\"ScanBaudRateNo\"=dword:00000002\n"
               "\"ScanBaudRate\"=hex(1):e9,00,0a,00,62,00,00,00\n";

    // A hex value still waiting for its next line gets an empty one, which adds nothing
    // to it, before a line of its own follows.
    const QByteArray notes = "\"Notes\"=hex:41,42,\\";
    QTest::newRow("unfinished continuation at the end")
        << key(notes + "\n") << 3 << "9600,n,8,1" << 2 << key(notes + "\n\n" + written);
    QTest::newRow("unfinished continuation at the end, without line end")
        << withCrLf(key(notes)) << 3 << "9600,n,8,1" << 2
        << withCrLf(key(notes + "\n\n" + written));
    const QByteArray otherKey = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Other]\n";
    QTest::newRow("unfinished continuation ending another key")
        << otherKey + notes << 3 << "9600,n,8,1" << 2
        << otherKey + notes + "\n\n\n[HKEY_LOCAL_MACHINE\\Software\\VANTREL\\Morvale]\n" + written;

    const QByteArray nearlyFull = paddedTo(Head, 64 * 1024 - 64);
    QTest::newRow("no room within 64 KiB: nothing written")
        << nearlyFull << 3 << "9600,n,8,1" << 2 << nearlyFull;
}

void StoredSettingsTest::saveScanSettings()
{
    QFETCH(QByteArray, before);
    QFETCH(qint32, commNo);
    QFETCH(QString, rate);
    QFETCH(qint32, rateNo);
    QFETCH(QByteArray, after);
    QVERIFY(writeFile(filePath(), before));
    StoredSettings(filePath()).SaveScanSettings(scanState(commNo, rate, rateNo));
    QCOMPARE(contents(filePath()), after);
    QCOMPARE(folderEntries(folder()), QStringList{"Morvale.reg"});
}

void StoredSettingsTest::saveLanguageFlag_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("flag");
    QTest::addColumn<QByteArray>("after");

    const QByteArray &scan = ScanValues;
    QTest::newRow("no file") << NoFile << "ChineseGB" << key("\"LanguageFlag\"=\"ChineseGB\"\n");
    QTest::newRow("added after the scan values")
        << key(scan) << "ChineseBIG5" << key(scan + "\"LanguageFlag\"=\"ChineseBIG5\"\n");
    QTest::newRow("replaced in place") << key("\"LanguageFlag\"=\"ChineseGB\"\n" + scan)
                                       << "English" << key("\"LanguageFlag\"=\"English\"\n" + scan);
    QTest::newRow("same flag again") << key("\"LanguageFlag\"=\"English\"\n" + scan) << "English"
                                     << key("\"LanguageFlag\"=\"English\"\n" + scan);
}

void StoredSettingsTest::saveLanguageFlag()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, flag);
    QFETCH(QByteArray, after);
    QVERIFY(writeFile(filePath(), before));
    StoredSettings(filePath()).SaveLanguageFlag(languageState(flag));
    QCOMPARE(contents(filePath()), after);
    QCOMPARE(folderEntries(folder()), QStringList{"Morvale.reg"});
}

void StoredSettingsTest::saveOverUnreadableFile_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("olderBad");
    QTest::newRow("binary garbage") << bytes("\x89PNG\r\n\x1a\n\0\0\0\rIHDR") << NoFile;
    QTest::newRow("empty file") << QByteArray("") << NoFile;
    QTest::newRow("over 64 KiB") << paddedTo(key("\"ScanCommNo\"=dword:00000001\n"), 64 * 1024 + 1)
                                 << NoFile;
    QTest::newRow("older set-aside file replaced")
        << QByteArray("not a registry file\n") << QByteArray("an older one\n");
    // Found by fuzz_settings_file: the fresh file came out in UTF-16, without a byte
    // order mark, and so unreadable in turn.
    QTest::newRow("UTF-16 of an odd length: fresh file in UTF-8")
        << utf16(withCrLf(Head5 + "\"ScanCommNo\"=dw")) + '\0' << NoFile;
}

void StoredSettingsTest::saveOverUnreadableFile()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, olderBad);
    QVERIFY(writeFile(filePath(), before));
    QVERIFY(writeFile(filePath() + ".bad", olderBad));
    StoredSettings(filePath()).SaveScanSettings(scanState(3, "9600,n,8,1", 2));
    QCOMPARE(contents(filePath()),
             key("\"ScanCommNo\"=dword:00000003\n\"ScanBaudRateNo\"=dword:00000002\n"
                 "\"ScanBaudRate\"=\"9600,n,8,1\"\n"));
    QCOMPARE(contents(filePath() + ".bad"), before);
    QCOMPARE(folderEntries(folder()), (QStringList{"Morvale.reg", "Morvale.reg.bad"}));
}

void StoredSettingsTest::saveThatCannotBeDone_data()
{
    QTest::addColumn<QString>("what");   // what stands where the file or its folder goes
    QTest::addColumn<QString>("reason"); // the end of the reason the save gives
    QTest::newRow("the file's path is a folder") << "folder"
                                                 << ": it is a folder";
    QTest::newRow("the folder's path is a file") << "file as folder"
                                                 << "cannot create the folder";
    QTest::newRow("a FIFO") << "fifo"
                            << ": it is not a regular file";
    QTest::newRow("a link to /dev/null") << "/dev/null"
                                         << ": it is not a regular file";
    QTest::newRow("a link that leads to nothing") << "dangling"
                                                  << ": it is a link that leads to nothing";
    QTest::newRow("a link to itself") << "loop"
                                      << ": it is a link that leads to nothing";
    QTest::newRow("a read-only folder") << "read-only folder"
                                        << "Permission denied";
}

void StoredSettingsTest::saveThatWouldOutgrowTheFile()
{
    // Just under the largest file that is read: one more value would take it past.
    const QByteArray before = paddedTo(key(ScanValues), 64 * 1024 - 8);
    QVERIFY(writeFile(filePath(), before));
    const QString failure =
        StoredSettings(filePath()).SaveLanguageFlag(languageState(QStringLiteral("ChineseGB")));
    QVERIFY2(failure.contains(QStringLiteral("grow past")), qPrintable(failure));
    QCOMPARE(contents(filePath()), before);
}

void StoredSettingsTest::saveThatCannotBeDone()
{
    QFETCH(QString, what);
    QFETCH(QString, reason);
    const QByteArray path = QFile::encodeName(filePath());
    if (what == u"folder") {
        QVERIFY(QDir().mkpath(filePath()));
    } else if (what == u"file as folder") {
        QVERIFY(writeFile(folder(), "not a folder\n"));
    } else {
        QVERIFY(QDir().mkpath(folder()));
        if (what == u"fifo")
            QCOMPARE(::mkfifo(path.constData(), 0600), 0);
        else if (what == u"/dev/null")
            QVERIFY(QFile::link(nullDevice(), filePath()));
        else if (what == u"dangling")
            QVERIFY(QFile::link(folder() + QStringLiteral("/gone"), filePath()));
        else if (what == u"loop")
            QVERIFY(QFile::link(filePath(), filePath()));
    }
    if (what == u"read-only folder") {
        // Root writes any folder, so as root the folder is another user's: root saves as
        // that user (and so reaches the folder through folders that user may enter).
        for (QString up = folder(); up != QFileInfo(m_dir->path()).absolutePath();
             up = QFileInfo(up).absolutePath())
            QCOMPARE(::chmod(QFile::encodeName(up).constData(), 0755), 0);
        if (::geteuid() == 0)
            QCOMPARE(::chown(QFile::encodeName(folder()).constData(), OtherUser, OtherUser), 0);
        QCOMPARE(::chmod(QFile::encodeName(folder()).constData(), 0555), 0);
    }
    const QStringList before = folderEntries(QFileInfo(folder()).absolutePath());
    const StoredSettings settings(filePath());

    const QString scanFailure = settings.SaveScanSettings(scanState(3, "9600,n,8,1", 2));
    const QString languageFailure = settings.SaveLanguageFlag(languageState("ChineseGB"));

    for (const QString &failure : {scanFailure, languageFailure}) {
        QVERIFY2(failure.startsWith(QStringLiteral("cannot save the settings in ") + filePath()),
                 qPrintable(failure));
        QVERIFY2(failure.contains(reason), qPrintable(failure));
    }
    QCOMPARE(loaded(filePath()), Defaults);
    QCOMPARE(folderEntries(QFileInfo(folder()).absolutePath()), before);
    // Nothing beside it either: no temporary file, no copy set aside.
    if (what != u"file as folder")
        QCOMPARE(QDir(folder()).entryList(QDir::AllEntries | QDir::System | QDir::Hidden |
                                          QDir::NoDotAndDotDot),
                 what == u"read-only folder" ? QStringList() : QStringList{"Morvale.reg"});
    ::chmod(QFile::encodeName(folder()).constData(), 0755);
}

void StoredSettingsTest::fullDiskDuringASave_data()
{
    // The file is an unreadable link target: its bytes are copied aside first (one write),
    // then the fresh file is written (one write).
    QTest::addColumn<int>("passing"); // writes that go through before the fault
    QTest::addColumn<int>("error");   // 0: a short write
    QTest::addColumn<bool>("saved");
    QTest::addColumn<int>("oldSize"); // bytes of the old file
    QTest::newRow("full disk copying the old bytes aside") << 0 << ENOSPC << false << 20;
    // More than a write buffer holds: the copy's own write meets the full disk.
    QTest::newRow("full disk copying 100 KiB aside") << 0 << ENOSPC << false << 100 * 1024;
    QTest::newRow("full disk writing the fresh file") << 1 << ENOSPC << false << 20;
    QTest::newRow("short write of the fresh file") << 1 << 0 << true << 20;
}

void StoredSettingsTest::fullDiskDuringASave()
{
    QFETCH(int, passing);
    QFETCH(int, error);
    QFETCH(bool, saved);
    QFETCH(int, oldSize);
    const QString target = m_dir->path() + QStringLiteral("/elsewhere.reg");
    const QByteArray unreadable = QByteArray("not a registry file\n").leftJustified(oldSize, 'x');
    QVERIFY(writeFile(target, unreadable));
    QVERIFY(QDir().mkpath(folder()));
    QVERIFY(QFile::link(target, filePath()));

    tx4040_fail_write(m_dir->path().toLocal8Bit().constData(), passing, error);
    const QString failure =
        StoredSettings(filePath()).SaveScanSettings(scanState(3, "9600,n,8,1", 2));
    QCOMPARE(tx4040_write_faults_done(), 1);
    tx4040_write_faults_off();

    QCOMPARE(failure.isEmpty(), saved);
    if (saved) {
        QCOMPARE(loaded(filePath()), describe(3, "9600,n,8,1", 2, "English", 0));
        QCOMPARE(contents(filePath() + ".bad"), unreadable);
        return;
    }
    QVERIFY2(failure.contains(QStringLiteral("No space left on device")), qPrintable(failure));
    // The old bytes are where they were, and the link is still a link.
    QCOMPARE(contents(target), unreadable);
    QVERIFY(QFileInfo(filePath()).isSymLink());
}

void StoredSettingsTest::settingNotInTheList_data()
{
    QTest::addColumn<QByteArray>("values");
    QTest::addColumn<QString>("expected");
    QTest::newRow("a setting that is none: from its index")
        << QByteArray("\"ScanBaudRate\"=\"garbage\"\n\"ScanBaudRateNo\"=dword:00000002\n")
        << describe(0, "9600,n,8,1", 2, "English", 0);
    QTest::newRow("an index outside the list: from the setting")
        << QByteArray("\"ScanBaudRate\"=\"38400,e,8,1\"\n\"ScanBaudRateNo\"=dword:80000000\n")
        << describe(0, "38400,e,8,1", 7, "English", 0);
    QTest::newRow("neither: both defaults")
        << QByteArray("\"ScanBaudRate\"=\"9600,x,8,1\"\n\"ScanBaudRateNo\"=dword:0000000c\n")
        << Defaults;
}

void StoredSettingsTest::settingNotInTheList()
{
    QFETCH(QByteArray, values);
    QFETCH(QString, expected);
    QVERIFY(writeFile(filePath(), key(values)));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral(
                                           "do not both name a setting of the list; using ")));
    QCOMPARE(loaded(filePath()), expected);
}

void StoredSettingsTest::rootWorksAsTheFolderOwner()
{
    if (::geteuid() != 0)
        QSKIP("only root's saves change hands");
    // sudo with the user's own folder: the configuration folder is the user's, and the
    // settings file a link the user made to a file of root's.
    const QString config = QFileInfo(folder()).absolutePath();
    const QString rootsOwn = m_dir->path() + QStringLiteral("/roots-own");
    QVERIFY(QDir().mkpath(rootsOwn));
    const QString secret = rootsOwn + QStringLiteral("/secret");
    QVERIFY(writeFile(secret, "root's own\n"));
    QVERIFY(QDir().mkpath(folder()));
    for (QString up = folder(); up != QFileInfo(m_dir->path()).absolutePath();
         up = QFileInfo(up).absolutePath())
        QCOMPARE(::chmod(QFile::encodeName(up).constData(), 0755), 0);
    for (const QString &mine : {config, folder()})
        QCOMPARE(::chown(QFile::encodeName(mine).constData(), OtherUser, OtherUser), 0);
    QVERIFY(QFile::link(secret, filePath()));
    QCOMPARE(::lchown(QFile::encodeName(filePath()).constData(), OtherUser, OtherUser), 0);

    const QString failure =
        StoredSettings(filePath()).SaveScanSettings(scanState(3, "9600,n,8,1", 2));
    QVERIFY2(failure.contains(QStringLiteral("Permission denied (working as ")),
             qPrintable(failure));
    QCOMPARE(contents(secret), QByteArray("root's own\n"));
    QCOMPARE(QFileInfo(filePath()).symLinkTarget(), secret);
    QCOMPARE(folderEntries(folder()), QStringList{"Morvale.reg"});

    // Without the link, what root makes there is the user's.
    QVERIFY(QFile::remove(filePath()));
    QVERIFY(QDir(folder()).removeRecursively());
    QCOMPARE(StoredSettings(filePath()).SaveScanSettings(scanState(3, "9600,n,8,1", 2)), QString());
    for (const QString &made : {folder(), filePath()}) {
        struct stat status = {};
        QCOMPARE(::stat(QFile::encodeName(made).constData(), &status), 0);
        QCOMPARE(status.st_uid, OtherUser);
    }
}

void StoredSettingsTest::settingsFileIsALink_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<QByteArray>("bad");
    const QByteArray &written = ScanValues;
    QTest::newRow("settings file: updated through the link")
        << key("\"LanguageFlag\"=\"English\"\n") << key("\"LanguageFlag\"=\"English\"\n" + written)
        << NoFile;
    QTest::newRow("no settings file: its bytes kept in a file of their own")
        << QByteArray("my notes\n") << key(written) << QByteArray("my notes\n");
}

void StoredSettingsTest::settingsFileIsALink()
{
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, after);
    QFETCH(QByteArray, bad);
    const QString elsewhere = m_dir->path() + QStringLiteral("/elsewhere");
    const QString targetPath = elsewhere + QStringLiteral("/notes.txt");
    QVERIFY(writeFile(targetPath, target));
    QVERIFY(QDir().mkpath(folder()));
    QVERIFY(QFile::link(targetPath, filePath()));
    StoredSettings(filePath()).SaveScanSettings(scanState(3, "9600,n,8,1", 2));
    QVERIFY(QFileInfo(filePath()).isSymLink());
    QCOMPARE(QFileInfo(filePath()).symLinkTarget(), targetPath);
    QCOMPARE(contents(targetPath), after);
    QCOMPARE(folderEntries(elsewhere), QStringList{"notes.txt"});
    QCOMPARE(contents(filePath() + ".bad"), bad);
    QVERIFY(!QFileInfo(filePath() + ".bad").isSymLink());
    QCOMPARE(folderEntries(folder()), bad == NoFile
                                          ? QStringList{"Morvale.reg"}
                                          : (QStringList{"Morvale.reg", "Morvale.reg.bad"}));
}

void StoredSettingsTest::ownerAndModeKept_data()
{
    QTest::addColumn<int>("mode");
    // Whom the file was given to: nobody else, another user, group or both.
    QTest::addColumn<QString>("givenTo");
    QTest::newRow("mode 0600") << 0600 << QString();
    QTest::newRow("mode 0640") << 0640 << QString();
    QTest::newRow("owner of a file that root saves") << 0600 << "user and group";
    QTest::newRow("a read-only file that root saves") << 0444 << "user and group";
    QTest::newRow("user alone of a file that root saves") << 0600 << "user";
    QTest::newRow("group alone of a file that root saves") << 0640 << "group";
}

void StoredSettingsTest::ownerAndModeKept()
{
    QFETCH(int, mode);
    QFETCH(QString, givenTo);
    if (!givenTo.isEmpty() && ::geteuid() != 0)
        QSKIP("only root may save a file another user owns and leave it theirs");
    const QByteArray path = QFile::encodeName(filePath());
    QVERIFY(writeFile(filePath(), key("\"ScanCommNo\"=dword:00000001\n")));
    QCOMPARE(::chmod(path.constData(), mode_t(mode)), 0);
    if (!givenTo.isEmpty())
        QCOMPARE(::chown(path.constData(), givenTo.startsWith(u"user") ? OtherUser : ::geteuid(),
                         givenTo.endsWith(u"group") ? OtherUser : ::getegid()),
                 0);
    struct stat before = {};
    QCOMPARE(::stat(path.constData(), &before), 0);
    StoredSettings(filePath()).SaveScanSettings(scanState(3, "9600,n,8,1", 2));
    QCOMPARE(loaded(filePath()), describe(3, "9600,n,8,1", 2, "English", 0));
    struct stat after = {};
    QCOMPARE(::stat(path.constData(), &after), 0);
    QCOMPARE(int(after.st_mode & 07777), mode);
    QCOMPARE(after.st_uid, before.st_uid);
    QCOMPARE(after.st_gid, before.st_gid);
}

void StoredSettingsTest::firstSaveIsTheUsersOwn()
{
    // No file before: the one made is this user's, with the mode the umask leaves.
    const mode_t umask = ::umask(022);
    ::umask(umask);
    StoredSettings(filePath()).SaveScanSettings(scanState(3, "9600,n,8,1", 2));
    struct stat made = {};
    QCOMPARE(::stat(QFile::encodeName(filePath()).constData(), &made), 0);
    QCOMPARE(int(made.st_mode & 07777), int(0666 & ~umask));
    QCOMPARE(made.st_uid, ::geteuid());
}

void StoredSettingsTest::roundTrip_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<qint32>("commNo");
    QTest::addColumn<QString>("rate");
    QTest::addColumn<qint32>("rateNo");
    QTest::addColumn<QString>("flag");
    QTest::addColumn<QString>("expected");
    QTest::newRow("typical") << NoFile << 3 << "115200,e,8,1" << 11 << "ChineseBIG5"
                             << describe(3, "115200,e,8,1", 11, "ChineseBIG5", 2);
    // Texts go in the language flag: a setting that is none of the list's is not loaded
    // as it was stored.
    QTest::newRow("lowest integer") << NoFile << INT_MIN << "4800,n,8,1" << 0 << "English"
                                    << describe(INT_MIN, "4800,n,8,1", 0, "English", 0);
    QTest::newRow("highest integer") << NoFile << INT_MAX << "4800,n,8,1" << 0 << "English"
                                     << describe(INT_MAX, "4800,n,8,1", 0, "English", 0);
    QTest::newRow("quotes, backslashes, brackets")
        << NoFile << 1 << "4800,n,8,1" << 0 << R"(=""[x]\)"
        << describe(1, "4800,n,8,1", 0, R"(=""[x]\)", 0);
    QTest::newRow("line breaks") << NoFile << 1 << "4800,n,8,1" << 0 << "a\r\nb\n\nChineseGB"
                                 << describe(1, "4800,n,8,1", 0, "a\r\nb\n\nChineseGB", 0);
    QTest::newRow("zero character ends the text")
        << NoFile << 1 << "4800,n,8,1" << 0
        << QStringLiteral("ChineseGB") + QChar(0) + QStringLiteral("00")
        << describe(1, "4800,n,8,1", 0, "ChineseGB", 1);
    QTest::newRow("UTF-8") << NoFile << 1 << "4800,n,8,1" << 0 << "波特率繁體"
                           << describe(1, "4800,n,8,1", 0, "波特率繁體", 0);
    QTest::newRow("empty text") << NoFile << 0 << "19200,e,8,1" << 5 << ""
                                << describe(0, "19200,e,8,1", 5, "", 0);
    QTest::newRow("after an unfinished continuation")
        << key("\"Notes\"=hex:41,42,\\") << 3 << "115200,e,8,1" << 11 << "ChineseBIG5"
        << describe(3, "115200,e,8,1", 11, "ChineseBIG5", 2);
    QTest::newRow("after an unfinished continuation ending another key")
        << QByteArray("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Other]\n\"Notes\"=hex:41,\\\n")
        << 3 << "115200,e,8,1" << 11 << "ChineseBIG5"
        << describe(3, "115200,e,8,1", 11, "ChineseBIG5", 2);
    QTest::newRow("Windows export: line breaks and Chinese")
        << utf16(withCrLf(Head5)) << 1 << "4800,n,8,1" << 0 << "a\r\nb波\n繁體"
        << describe(1, "4800,n,8,1", 0, "a\r\nb波\n繁體", 0);
}

void StoredSettingsTest::roundTrip()
{
    QFETCH(QByteArray, before);
    QFETCH(qint32, commNo);
    QFETCH(QString, rate);
    QFETCH(qint32, rateNo);
    QFETCH(QString, flag);
    QFETCH(QString, expected);
    SharedState state = scanState(commNo, rate, rateNo);
    state.LanguageFlag = flag;
    QVERIFY(writeFile(filePath(), before));
    const StoredSettings settings(filePath());
    settings.SaveScanSettings(state);
    settings.SaveLanguageFlag(state);
    QCOMPARE(loaded(filePath()), expected);
    // Saving the same values again changes nothing.
    const QByteArray first = contents(filePath());
    settings.SaveLanguageFlag(state);
    settings.SaveScanSettings(state);
    QCOMPARE(contents(filePath()), first);
}

void StoredSettingsTest::interruptedSave_data()
{
    QTest::addColumn<QString>("save");
    // The file is a link to one elsewhere.
    QTest::addColumn<bool>("linked");
    // The file after 0, 1, 2 ... completed rewrites.
    QTest::addColumn<QByteArrayList>("states");

    const QByteArray old = key("\"ScanCommNo\"=dword:00000001\n\"ScanBaudRate\"=\"4800,n,8,1\"\n"
                               "\"ScanBaudRateNo\"=dword:00000000\n"
                               "\"LanguageFlag\"=\"ChineseGB\"\n");
    // The three values of a scan: all old or all new, whenever the save dies.
    QTest::newRow("scan settings over stored values")
        << "scan" << false
        << QByteArrayList{
               old, key("\"ScanCommNo\"=dword:00000007\n\"ScanBaudRate\"=\"115200,e,8,1\"\n"
                        "\"ScanBaudRateNo\"=dword:0000000b\n\"LanguageFlag\"=\"ChineseGB\"\n")};
    // Creating the key is a rewrite of its own, as creating a key is in the registry.
    const QByteArrayList fresh{
        Head, key("\"ScanCommNo\"=dword:00000007\n\"ScanBaudRateNo\"=dword:0000000b\n"
                  "\"ScanBaudRate\"=\"115200,e,8,1\"\n")};
    QTest::newRow("scan settings without a file")
        << "scan" << false << QByteArrayList{NoFile} + fresh;
    QTest::newRow("scan settings over an unreadable file")
        << "scan" << false << QByteArrayList{bytes("\0\1garbage\n")} + fresh;
    QTest::newRow("scan settings over a link to an unreadable file")
        << "scan" << true << QByteArrayList{bytes("\0\1garbage\n")} + fresh;
    QTest::newRow("language flag over stored values")
        << "language" << false
        << QByteArrayList{old,
                          key("\"ScanCommNo\"=dword:00000001\n\"ScanBaudRate\"=\"4800,n,8,1\"\n"
                              "\"ScanBaudRateNo\"=dword:00000000\n"
                              "\"LanguageFlag\"=\"ChineseBIG5\"\n")};
}

void StoredSettingsTest::interruptedSave()
{
    QFETCH(QString, save);
    QFETCH(bool, linked);
    QFETCH(QByteArrayList, states);
    const QString target = m_dir->path() + QStringLiteral("/elsewhere/settings");
    // A child process runs the save and kills itself at step 1, then 2, ... until one
    // run gets through. Whenever it dies, the file must be exactly what the rewrites
    // completed so far made of it: never a mixture, never cut short.
    constexpr int MostSteps = 40;
    qsizetype committed = -1;
    QByteArrayList completeRun;
    int stopAt = 1;
    for (;; ++stopAt) {
        QVERIFY2(stopAt <= MostSteps, "the save never got through");
        QVERIFY(QDir(folder()).removeRecursively());
        if (linked) {
            QVERIFY(writeFile(target, states.first()));
            QVERIFY(QDir().mkpath(folder()));
            QVERIFY(QFile::link(target, filePath()));
        } else {
            QVERIFY(writeFile(filePath(), states.first()));
        }
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {ChildInterruptedSave, save, filePath(), QString::number(stopAt)});
        QVERIFY(child.waitForFinished(60000));
        const QByteArray errors = child.readAllStandardError();
        QByteArrayList steps = child.readAllStandardOutput().split('\n');
        steps.removeAll(QByteArray());
        committed = steps.count("Committed");
        const QByteArray at = "stopped at step " + QByteArray::number(stopAt) + ": " +
                              steps.join(' ') + "\n" + errors;
        QVERIFY2(committed < states.size(), at.constData());
        QVERIFY2(contents(filePath()) == states.at(committed), at.constData());
        // An unreadable file is kept beside the new one once the save has set it aside,
        // in a file of its own.
        QCOMPARE(contents(filePath() + ".bad"),
                 steps.contains("SetAside") ? states.first() : NoFile);
        QVERIFY(!QFileInfo(filePath() + ".bad").isSymLink());
        QCOMPARE(QFileInfo(filePath()).isSymLink(), linked);
        if (child.exitStatus() == QProcess::NormalExit) {
            QVERIFY2(child.exitCode() == 0, at.constData());
            QVERIFY2(steps.size() == stopAt - 1, at.constData());
            completeRun = steps;
            break;
        }
        QVERIFY2(steps.size() == stopAt, at.constData());
    }
    QCOMPARE(committed, states.size() - 1);
    // Every rewrite was cut once with its new text complete on disk but not yet in place.
    QCOMPARE(completeRun.count("Synced"), committed);
}

void StoredSettingsTest::fileThisUserMayNotWrite_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("output");
    QTest::newRow("load gives the defaults") << "load" << Defaults;
    QTest::newRow("save writes nothing") << "save"
                                         << "saved";
}

void StoredSettingsTest::fileThisUserMayNotWrite()
{
    QFETCH(QString, action);
    QFETCH(QString, output);
    // Root may write any file, so as root the child runs as another user. The folder is
    // that user's, so that only the file's own permissions stand in the way.
    const bool root = ::geteuid() == 0;
    const QByteArray stored = key("\"ScanCommNo\"=dword:00000003\n\"ScanBaudRate\"=\"9600,n,8,1\"\n"
                                  "\"ScanBaudRateNo\"=dword:00000002\n"
                                  "\"LanguageFlag\"=\"ChineseGB\"\n");
    QVERIFY(writeFile(filePath(), stored));
    QVERIFY(
        QFile::setPermissions(filePath(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    for (QString path = folder(); path != QFileInfo(m_dir->path()).absolutePath();
         path = QFileInfo(path).absolutePath())
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0755), 0);
    if (root)
        QCOMPARE(::chown(QFile::encodeName(folder()).constData(), OtherUser, OtherUser), 0);

    QStringList command{QCoreApplication::applicationFilePath(), ChildOtherUser, action,
                        filePath()};
    if (root)
        command = QStringList{QStringLiteral("--reuid=%1").arg(OtherUser),
                              QStringLiteral("--regid=%1").arg(OtherUser),
                              QStringLiteral("--clear-groups")} +
                  command;
    QProcess child;
    child.start(root ? QStringLiteral("setpriv") : command.takeFirst(), command);
    QVERIFY(child.waitForFinished(60000));
    const QByteArray errors = child.readAllStandardError();
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
             errors.constData());
    const QStringList lines = QString::fromUtf8(child.readAllStandardOutput()).split('\n');
    QCOMPARE(lines.value(0), QStringLiteral("folderWritable=1 fileReadable=1 fileWritable=0"));
    QCOMPARE(lines.value(1), output);
    QCOMPARE(contents(filePath()), stored);
    QCOMPARE(folderEntries(folder()), QStringList{"Morvale.reg"});
}

void StoredSettingsTest::defaultFilePath_data()
{
    QTest::addColumn<QByteArray>("configHome");
    QTest::addColumn<QString>("expected");
    QTest::newRow("XDG_CONFIG_HOME set")
        << QByteArray("/srv/cfg") << "/srv/cfg/VANTREL/Morvale.reg";
    QTest::newRow("XDG_CONFIG_HOME unset")
        << QByteArray() << m_home.path() + "/.config/VANTREL/Morvale.reg";
}

void StoredSettingsTest::defaultFilePath()
{
    QFETCH(QByteArray, configHome);
    QFETCH(QString, expected);
    const QByteArray previous = qgetenv("XDG_CONFIG_HOME");
    if (configHome.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", configHome);
    const QString path = StoredSettings::defaultFilePath();
    qputenv("XDG_CONFIG_HOME", previous);
    QCOMPARE(path, expected);
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.value(1) == ChildInterruptedSave)
        return runInterruptedSave(arguments);
    if (arguments.value(1) == ChildOtherUser)
        return runAsOtherUser(arguments);
    StoredSettingsTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_stored_settings.moc"
